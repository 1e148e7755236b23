// Windows and control trees built from skins, including skins that are broken.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "duitest.h"

using namespace DuiLib;

namespace {

const wchar_t* kSkin = LR"(<?xml version="1.0" encoding="utf-8"?>
<Window size="420,300" mininfo="300,200" caption="0,0,0,30">
  <Font id="0" name="Noto Sans CJK SC" size="12" default="true"/>
  <Default name="Button" value="textcolor=&quot;#FF00FF00&quot; height=&quot;28&quot;"/>
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <HorizontalLayout name="bar" height="30" childpadding="4" inset="2,0,2,0">
      <Label name="title" text="标题" tooltip="窗口标题" textcolor="#112233"/>
      <Button name="minbtn" width="40" text="-"/>
      <Button name="hidden_btn" width="40" visible="false"/>
      <Button name="closebtn" width="50"/>
    </HorizontalLayout>
    <Option name="op1" group="g" selected="true"/>
    <CheckBox name="chk" height="20"/>
    <Edit name="edit" height="24" text="初始" maxchar="5"/>
    <Combo name="combo" height="24"/>
    <List name="list" height="120"/>
    <HeadIcon name="head" width="40" height="40"/>
    <Container name="box" height="50">
      <Label name="floating" float="true" pos="10,5,60,25"/>
    </Container>
  </VerticalLayout>
</Window>)";

struct ResDir {
    ResDir() {
        CPaintManagerUI::SetResourcePath(QDir(dir.path()).absolutePath().toStdWString().c_str());
        CResourceManager::GetInstance()->ResetResourceMap();
    }
    void Write(const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    QTemporaryDir dir;
};

// A 2x2 opaque red PNG.
const char kRedPng[] = "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x02"
                       "\x08\x06\x00\x00\x00\x72\xb6\x0d\x24\x00\x00\x00\x11\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0"
                       "\xf0\x1f\x84\x19\x60\x0c\x00\x47\xca\x07\xf9\x67\x59\x6e\xb7\x00\x00\x00\x00\x49\x45\x4e\x44"
                       "\xae\x42\x60\x82";

bool AnyImagePluginMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
}

} // namespace

TEST(Skin, ImagesAreReadAsTheirSuffixSaysOrElseByTheirContent) {
    ResDir res;
    const QByteArray png(kRedPng, sizeof kRedPng - 1);
    res.Write("red.png", png);
    res.Write("red.gif", png);
    res.Write("broken.png", "not an image");
    auto image = [](const wchar_t* name) { return CPaintManagerUI::GetImage(CPaintManagerUI::FindResourceFile(name)); };

    QPixmap named = image(L"red.png");
    ASSERT_EQ(named.size(), QSize(2, 2));
    EXPECT_EQ(named.toImage().pixel(1, 1), qRgba(255, 0, 0, 255));
    // A file read as its suffix says asks none of the image plugins, so none is loaded.
    EXPECT_FALSE(AnyImagePluginMapped());
    EXPECT_EQ(image(L"red.gif").size(), QSize(2, 2));
    EXPECT_TRUE(image(L"broken.png").isNull());
}

TEST(Skin, WindowIsBuiltFromItsSkinBeforeInitWindow) {
    CTestWnd w(kSkin);
    ASSERT_NE(w.Create(nullptr, L"QDX_IM", WS_POPUP, WS_EX_TOOLWINDOW), nullptr);
    EXPECT_EQ(w.initCount, 1);
    ASSERT_NE(w.rootAtInit, nullptr);
    EXPECT_EQ(w.GetPaintManager().GetPaintWindow(), w.GetHWND());
    EXPECT_EQ(platform::GetWindowText(w.GetHWND()), L"QDX_IM");
    SIZE min = w.GetPaintManager().GetMinInfo();
    EXPECT_EQ(min.cx, 300);
    EXPECT_EQ(min.cy, 200);
    RECT rc;
    ASSERT_TRUE(platform::GetClientRect(w.GetHWND(), &rc));
    EXPECT_EQ(rc.right, 420);
    EXPECT_EQ(rc.bottom, 300);

    auto* title = w.Find<CLabelUI>(L"title");
    ASSERT_NE(title, nullptr);
    EXPECT_NE(title->GetInterface(L"Label"), nullptr);
    EXPECT_EQ(title->GetInterface(L"Button"), nullptr);
    EXPECT_EQ(title->GetText(), L"标题");
    EXPECT_EQ(title->GetToolTip(), L"窗口标题");
    EXPECT_EQ(title->GetTextColor(), 0xFF112233u) << "six hex digits are an opaque colour";
    EXPECT_EQ(w.Find(L"root")->GetBkColor(), 0xFFFFFFFFu);

    auto* minbtn = w.Find<CButtonUI>(L"minbtn");
    ASSERT_NE(minbtn, nullptr);
    EXPECT_EQ(minbtn->GetFixedWidth(), 40);
    EXPECT_EQ(minbtn->GetFixedHeight(), 28) << "defaults of the skin apply";
    EXPECT_EQ(minbtn->GetTextColor(), 0xFF00FF00u);
    EXPECT_EQ(minbtn->GetParent(), w.Find(L"bar"));
    EXPECT_FALSE(w.Find(L"hidden_btn")->IsVisible());
    EXPECT_TRUE(static_cast<COptionUI*>(w.Find(L"op1"))->IsSelected());
    EXPECT_NE(w.Find(L"chk")->GetInterface(L"Option"), nullptr);
    EXPECT_EQ(w.Find(L"edit")->GetText(), L"初始");
    EXPECT_NE(w.Find(L"combo")->GetInterface(L"Combo"), nullptr);
    EXPECT_NE(w.Find(L"list")->GetInterface(L"List"), nullptr);
    EXPECT_EQ(w.Find(L"head")->GetUserData(), L"made by the window") << "the window's factory made HeadIcon";
    EXPECT_EQ(w.Find(L"nosuch"), nullptr);
    EXPECT_EQ(w.GetPaintManager().FindSubControlByName(w.Find(L"bar"), L"edit"), nullptr);
    EXPECT_EQ(w.GetPaintManager().FindSubControlByName(w.Find(L"bar"), L"closebtn"), w.Find(L"closebtn"));
}

TEST(Skin, LayoutHonoursFixedSizesStretchPaddingVisibilityAndFloat) {
    CTestWnd w(LR"(<Window size="400,200"><HorizontalLayout name="row" childpadding="10" inset="5,5,5,5">
        <Control name="fixed" width="100"/>
        <Control name="stretch"/>
        <Control name="gone" width="50" visible="false"/>
        <Control name="padded" width="40" height="30" padding="7,3,0,0"/>
        <Container name="box" width="80"><Control name="float" float="true" pos="10,20,40,50"/></Container>
      </HorizontalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    w.ShowWindow(true, false);
    ASSERT_TRUE(WaitFor([&] { return w.Find(L"stretch")->GetWidget()->width() > 0; }));
    RECT fixed = w.Find(L"fixed")->GetPos();
    RECT stretch = w.Find(L"stretch")->GetPos();
    RECT padded = w.Find(L"padded")->GetPos();
    RECT box = w.Find(L"box")->GetPos();
    RECT fl = w.Find(L"float")->GetPos();
    EXPECT_EQ(fixed.left, 5);
    EXPECT_EQ(fixed.right - fixed.left, 100);
    EXPECT_EQ(fixed.bottom - fixed.top, 190);
    EXPECT_EQ(stretch.left, 115);
    // 400 - 10 inset - 100 - 47 - 80 - 3 gaps of 10: the hidden child takes nothing.
    EXPECT_EQ(stretch.right - stretch.left, 400 - 10 - 100 - 47 - 80 - 30);
    EXPECT_EQ(padded.left, stretch.right + 10 + 7);
    EXPECT_EQ(padded.top, 5 + 3);
    EXPECT_EQ(padded.bottom - padded.top, 30);
    EXPECT_EQ(fl.left, box.left + 10);
    EXPECT_EQ(fl.top, box.top + 20);
    EXPECT_EQ(fl.right - fl.left, 30);

    // Showing the hidden child takes the room from the stretching one.
    w.Find(L"gone")->SetVisible(true);
    ASSERT_TRUE(WaitFor([&] { return w.Find(L"stretch")->GetPos().right - w.Find(L"stretch")->GetPos().left < stretch.right - stretch.left; }));
    EXPECT_EQ(w.Find(L"stretch")->GetPos().right - w.Find(L"stretch")->GetPos().left,
              (stretch.right - stretch.left) - 60);
}

TEST(Skin, ResXmlIdsNameSkinFiles) {
    ResDir res;
    res.Write("res.xml", R"(<Res><XML id="XML_MAIN" path="sub\main.xml"/><ICON id="128" path="a.png"/></Res>)");
    QDir(res.dir.path()).mkdir(QStringLiteral("sub"));
    res.Write("sub/main.xml", R"(<Window size="200,100"><Label name="hello" text="hi"/></Window>)");
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
    EXPECT_EQ(CResourceManager::GetInstance()->GetXmlPath(L"XML_MAIN"), L"sub/main.xml");
    EXPECT_EQ(CResourceManager::GetInstance()->GetIconPath(128), L"a.png");
    CTestWnd w(L"XML_MAIN");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    ASSERT_NE(w.Find(L"hello"), nullptr);
    EXPECT_EQ(w.Find(L"hello")->GetText(), L"hi");

    EXPECT_FALSE(CResourceManager::GetInstance()->LoadResource(L"missing.xml"));
    res.Write("broken.xml", "<Res><XML id=");
    EXPECT_FALSE(CResourceManager::GetInstance()->LoadResource(L"broken.xml"));
    EXPECT_EQ(CResourceManager::GetInstance()->GetXmlPath(L"XML_MAIN"), L"sub/main.xml") << "a failed load keeps the table";
}

TEST(Skin, MissingOrBrokenSkinStillGivesAnEmptyWindow) {
    ResDir res;
    res.Write("notxml.xml", "this is <not xml");
    for (const wchar_t* skin : {L"nosuchfile.xml", L"notxml.xml", L"<Window><Label", L"<Window size=\"10,10\"></Window>"}) {
        CTestWnd w(skin);
        ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr) << skin;
        EXPECT_EQ(w.initCount, 1);
        ASSERT_NE(w.GetPaintManager().GetRoot(), nullptr);
        EXPECT_EQ(w.Find(L"anything"), nullptr);
        w.ShowWindow(true);
        platform::PumpMessages(10);
    }
}

TEST(Skin, UnknownControlsAndAttributesAreLeftOutAndTheRestIsBuilt) {
    CTestWnd w(LR"(<Window><VerticalLayout name="root">
        <Label name="before" text="a" bogus="1" width="33"/>
        <Gizmo name="gizmo"><Label name="inside_gizmo"/></Gizmo>
        <Label name="parent_label"><Label name="child_of_label"/></Label>
        <Button name="after" text="b"/>
      </VerticalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    ASSERT_NE(w.Find(L"before"), nullptr);
    EXPECT_EQ(w.Find(L"before")->GetFixedWidth(), 33) << "the attributes after an unknown one still apply";
    EXPECT_EQ(w.Find(L"gizmo"), nullptr);
    EXPECT_EQ(w.Find(L"inside_gizmo"), nullptr);
    EXPECT_NE(w.Find(L"parent_label"), nullptr);
    EXPECT_EQ(w.Find(L"child_of_label"), nullptr);
    ASSERT_NE(w.Find(L"after"), nullptr);
    auto* root = w.Find<CContainerUI>(L"root");
    EXPECT_EQ(root->GetCount(), 3);
    EXPECT_EQ(root->GetItemAt(2), w.Find(L"after"));
}

TEST(Skin, RowsBuiltFromRowXmlGoIntoListsAndAreDeletedWithThem) {
    CTestWnd w(LR"(<Window size="300,300"><List name="list"/></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    auto* list = w.Find<CListUI>(L"list");
    const wchar_t* row = LR"(<ListContainerElement name="msg_item"><HorizontalLayout>
        <HeadIcon name="head_image" width="30"/><Label name="user_name"/><Label name="msg_num"/></HorizontalLayout>
      </ListContainerElement>)";
    std::vector<std::weak_ptr<bool>> alive;
    for (int i = 0; i < 5; ++i) {
        CDialogBuilder builder;
        CControlUI* item = builder.Create(row, nullptr, &w, &w.GetPaintManager());
        ASSERT_NE(item, nullptr);
        item->SetFixedWidth(254);
        item->SetFixedHeight(60);
        item->SetTag(reinterpret_cast<UINT_PTR>(new std::wstring(L"id" + std::to_wstring(i))));
        ASSERT_TRUE(list->Add(item));
        CControlUI* name = w.GetPaintManager().FindSubControlByName(item, L"user_name");
        ASSERT_NE(name, nullptr);
        name->SetText((L"name" + std::to_wstring(i)).c_str());
        EXPECT_EQ(w.GetPaintManager().FindSubControlByName(item, L"head_image")->GetUserData(), L"made by the window");
        alive.push_back(item->AliveToken());
    }
    EXPECT_EQ(list->GetCount(), 5);
    EXPECT_FALSE(list->Add(list->GetItemAt(0))) << "a row is in a list once";
    EXPECT_EQ(*reinterpret_cast<std::wstring*>(list->GetItemAt(3)->GetTag()), L"id3");
    EXPECT_EQ(w.GetPaintManager().FindSubControlByName(list->GetItemAt(2), L"user_name")->GetText(), L"name2");
    EXPECT_EQ(list->GetItemAt(5), nullptr);
    EXPECT_EQ(list->GetItemAt(-1), nullptr);
    for (int i = 0; i < list->GetCount(); ++i)
        delete reinterpret_cast<std::wstring*>(list->GetItemAt(i)->GetTag());
    list->RemoveAll();
    EXPECT_EQ(list->GetCount(), 0);
    for (auto& a : alive)
        EXPECT_TRUE(a.expired());
    // Row XML that cannot be built gives none.
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"<Nope/>", nullptr, nullptr, &w.GetPaintManager()), nullptr);
    EXPECT_EQ(builder.Create(L"listitem_missing.xml", nullptr, nullptr, &w.GetPaintManager()), nullptr);
}

TEST(Skin, ControlStateSettersWork) {
    CTestWnd w(LR"(<Window size="300,200"><VerticalLayout><Label name="l"/><Button name="b"/></VerticalLayout></Window>)");
    ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
    CControlUI* l = w.Find(L"l");
    l->SetText(L"文本");
    l->SetToolTip(L"提示");
    l->SetBkImage(L"file='x.png' dest='0,0,10,10'");
    l->SetBkColor(0xFF010203);
    l->SetFixedHeight(22);
    l->SetAttribute(L"width", L"77");
    l->SetTag(42);
    EXPECT_EQ(l->GetText(), L"文本");
    EXPECT_EQ(l->GetToolTip(), L"提示");
    EXPECT_EQ(l->GetWidget()->toolTip(), QStringLiteral("提示"));
    EXPECT_EQ(l->GetBkImage(), L"file='x.png' dest='0,0,10,10'");
    EXPECT_EQ(l->GetBkColor(), 0xFF010203u);
    EXPECT_EQ(l->GetFixedHeight(), 22);
    EXPECT_EQ(l->GetFixedWidth(), 77);
    EXPECT_EQ(l->GetTag(), 42u);
    CControlUI* b = w.Find(L"b");
    b->SetEnabled(false);
    EXPECT_FALSE(b->IsEnabled());
    b->SetVisible(false);
    EXPECT_FALSE(b->IsVisible());
    EXPECT_TRUE(b->GetWidget()->isHidden());
    b->SetVisible(true);
    EXPECT_TRUE(b->IsVisible());
    // A missing image draws nothing and breaks nothing.
    w.ShowWindow(true, false);
    platform::PumpMessages(20);
}

TEST(Skin, ARowOutlivingItsWindowCanStillBeDeleted) {
    CControlUI* row = nullptr;
    {
        CTestWnd w(LR"(<Window><List name="list"/></Window>)");
        ASSERT_NE(w.Create(nullptr, L"t", WS_POPUP, 0), nullptr);
        CDialogBuilder builder;
        row = builder.Create(LR"(<ListContainerElement><Option name="o" group="g"/></ListContainerElement>)", nullptr,
                             nullptr, &w.GetPaintManager());
        ASSERT_NE(row, nullptr);
    }
    delete row;
}
