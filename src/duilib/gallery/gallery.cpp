// shopdesk-gallery: one window with every kind of control the toolkit offers and a browser
// control, for looking at the toolkit and taking screenshots.
//   shopdesk-gallery [--quit-after MS]
#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <cstring>

#include "duilib/UIlib.h"
#include "platform/textconv.h"

using namespace DuiLib;

namespace {

class CGalleryDialog : public WindowImplBase {
public:
    LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    CDuiString GetSkinFile() override { return L"dialog.xml"; }
    void OnClick(TNotifyUI& msg) override {
        CDuiString name = msg.pSender->GetName();
        if (name == L"btn_ok")
            Close(IDOK);
        else if (name == L"btn_cancel")
            Close(IDCANCEL);
        else if (name == L"close_btn")
            Close(IDCLOSE);
        WindowImplBase::OnClick(msg);
    }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_NCLBUTTONDBLCLK)
            return 0;
        return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
    }
};

class CGalleryWnd : public WindowImplBase, public ISetHandleSolt, public ILoadHandleSlot {
public:
    LPCTSTR GetWindowClassName() const override { return L"MainWnd"; }
    CDuiString GetSkinFile() override { return L"XML_GALLERY"; }

    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        if (EqualNoCase(pstrClass, L"CefBrowser")) {
            std::wstring page = L"file://" + CPaintManagerUI::GetResourcePath() + L"page.html";
            return new CCefBrowserUI(
                m_hWnd, [this](const std::wstring& name, const std::vector<std::wstring>& args) { return OnPageCall(name, args); },
                this, page.c_str());
        }
        return nullptr;
    }

    void InitWindow() override {
        m_pStatus = static_cast<CLabelUI*>(m_PaintManager.FindControl(L"label_status"));
        m_pBrowser = static_cast<CCefBrowserUI*>(m_PaintManager.FindControl(L"TestBrowser"));
        if (auto* combo = static_cast<CComboUI*>(m_PaintManager.FindControl(L"combo_shop"))) {
            const wchar_t* shops[] = {L"下拉框 Combo：杭州旗舰店", L"上海分店", L"北京分店"};
            for (int i = 0; i < 3; ++i) {
                auto* item = new CListLabelElementUI;
                item->SetText(shops[i]);
                item->SetTag(static_cast<UINT_PTR>(1000 + i));
                combo->Add(item);
            }
            combo->SelectItem(0, false, false);
        }
        if (auto* list = static_cast<CListUI*>(m_PaintManager.FindControl(L"list_msgs"))) {
            const wchar_t* names[] = {L"列表 List：张女士", L"李先生", L"王小姐", L"Customer 4"};
            const wchar_t* texts[] = {L"请问酒店含早餐吗？", L"订单已支付，谢谢", L"可以改签到明天吗", L"Is the tour still open?"};
            for (int i = 0; i < 4; ++i) {
                CDialogBuilder builder;
                CControlUI* row = builder.Create(L"XML_ROW", nullptr, this, &m_PaintManager);
                if (!row)
                    continue;
                row->SetFixedHeight(44);
                list->Add(row);
                if (auto* c = m_PaintManager.FindSubControlByName(row, L"row_title"))
                    c->SetText(names[i]);
                if (auto* c = m_PaintManager.FindSubControlByName(row, L"row_text"))
                    c->SetText(texts[i]);
                if (auto* c = m_PaintManager.FindSubControlByName(row, L"row_count"))
                    c->SetText(std::to_wstring(i + 1).c_str());
            }
            list->SelectItem(0, false, false);
        }
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_SELECTCHANGED || msg.sType == DUI_MSGTYPE_ITEMSELECT || msg.sType == DUI_MSGTYPE_RETURN)
            SetStatus(L"状态：" + msg.sType + L" ← " + msg.pSender->GetName());
        WindowImplBase::Notify(msg);
    }

    void OnClick(TNotifyUI& msg) override {
        CDuiString name = msg.pSender->GetName();
        if (name == L"btn_modal") {
            CGalleryDialog dlg;
            dlg.Create(m_hWnd, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW);
            dlg.CenterWindow();
            UINT code = dlg.ShowModal();
            SetStatus(L"状态：模态窗口返回 " + std::to_wstring(code));
            return;
        }
        if (name == L"menubtn") {
            auto* menu = new CMenuWnd;
            delete m_pMenu;
            m_pMenu = menu;
            RECT rc = msg.pSender->GetPos();
            RECT wr;
            platform::GetWindowRect(m_hWnd, &wr);
            menu->Init(nullptr, L"menu.xml", POINT{wr.left + rc.left, wr.top + rc.bottom}, &m_PaintManager);
            return;
        }
        if (name == L"closebtn") {
            platform::PostQuitMessage(0);
            return;
        }
        WindowImplBase::OnClick(msg);
    }

    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        if (uMsg == WM_MENUCLICK) {
            auto* name = reinterpret_cast<CDuiString*>(wParam);
            if (name)
                SetStatus(L"状态：菜单 " + *name);
            CPaintManagerUI::DeletePtr(name);
            bHandled = TRUE;
            return 0;
        }
        if (uMsg == UIMSG_TRAYICON) {
            if (lParam == WM_LBUTTONDOWN)
                ShowWindow(true, true);
            SetStatus(lParam == WM_MOUSEMOVE ? L"状态：托盘 鼠标经过 (0x200)"
                      : lParam == WM_RBUTTONUP ? L"状态：托盘 右键 (0x205)"
                                               : L"状态：托盘 左键 (0x201)");
            bHandled = TRUE;
            return 0;
        }
        if (uMsg == WM_DESTROY)
            platform::PostQuitMessage(0);
        bHandled = FALSE;
        return 0;
    }

    ILoadHandleSlot* GetLoadHandleSlot(const std::wstring& name) override { return name == L"TestBrowser" ? this : nullptr; }

    void OnLoadEnd(CCefBrowserUI* browser, const CefFrameInfo&, int) override {
        browser->ExectueJS(L"fromProgram('ExectueJS: 你好，来自程序 (hello from the program)');");
    }

    ~CGalleryWnd() override { delete m_pMenu; }

private:
    bool OnPageCall(const std::wstring& name, const std::vector<std::wstring>& args) {
        std::wstring text = L"状态：网页调用 " + name;
        for (const auto& a : args)
            text += L" · " + a;
        SetStatus(text);
        return false;
    }
    void SetStatus(const std::wstring& text) {
        if (m_pStatus)
            m_pStatus->SetText(text.c_str());
    }

    CLabelUI* m_pStatus = nullptr;
    CCefBrowserUI* m_pBrowser = nullptr;
    CMenuWnd* m_pMenu = nullptr;
};

} // namespace

int main(int argc, char** argv) {
    platform::SetProcessUtf8Locale();
    int quitAfter = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--quit-after") == 0)
            quitAfter = atoi(argv[i + 1]);
    QApplication app(argc, argv);
    CPaintManagerUI::SetInstance(nullptr);
    CPaintManagerUI::SetResourceType(1);
    CPaintManagerUI::SetResourcePath((CPaintManagerUI::GetInstancePath() + L"gallery/").c_str());
    CResourceManager::GetInstance()->LoadResource(L"res.xml");
    if (!CCefBrowserUI::InitCef(nullptr, std::wstring(), std::wstring()))
        return 1;
    {
        CGalleryWnd wnd;
        if (!wnd.Create(nullptr, L"shopdesk-gallery", WS_VISIBLE | WS_OVERLAPPEDWINDOW, WS_EX_WINDOWEDGE))
            return 1;
        wnd.CenterWindow();
        wnd.SetIcon(128);
        CDuiTrayIcon::Instance().CreateTrayIcon(wnd.GetHWND(), 128, L"组件陈列 Gallery");
        if (quitAfter > 0)
            QTimer::singleShot(quitAfter, [] { platform::PostQuitMessage(0); });
        wnd.ShowModal();
        CDuiTrayIcon::Instance().DeleteTrayIcon();
        CCefBrowserUI::Quit();
    }
    return 0;
}
