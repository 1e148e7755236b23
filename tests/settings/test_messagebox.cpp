// The skinned message box answered through its real buttons.
#include <gtest/gtest.h>

#include "dialogs/cduimessagebox.h"
#include "support/qtwait.h"
#include "support/realclick.h"

namespace {

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    bool centred = false;
};

void Inspect(HWND box, SeenBox& seen) {
    seen.caption = FindControlIn(box, L"label_caption")->GetText();
    seen.text = FindControlIn(box, L"label_text")->GetText();
    RECT rc{};
    platform::GetWindowRect(box, &rc);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    platform::GetMonitorInfo(platform::MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &mi);
    seen.centred = std::abs((rc.left + rc.right) - (mi.rcWork.left + mi.rcWork.right)) <= 2 &&
                   std::abs((rc.top + rc.bottom) - (mi.rcWork.top + mi.rcWork.bottom)) <= 2;
}

} // namespace

TEST(MessageBox, EachButtonEndsTheBoxWithItsAnswer) {
    SeenBox yes;
    ClickWhenShown repair(L"label_text", L"btn_reload", [&](HWND h) { Inspect(h, yes); });
    EXPECT_EQ(ShowDuiMessageBox(L"注册表修复通知", L"程序检测到注册表不完整，请点击修复", 0), IDOK);
    EXPECT_TRUE(repair.Clicked());
    EXPECT_EQ(yes.caption, L"注册表修复通知");
    EXPECT_EQ(yes.text, L"程序检测到注册表不完整，请点击修复");
    EXPECT_TRUE(yes.centred);

    SeenBox no;
    ClickWhenShown cancel(L"label_text", L"btn_quit", [&](HWND h) { Inspect(h, no); });
    EXPECT_EQ(ShowDuiMessageBox(L"第二个问题", L"取消时返回 2", 0), IDCANCEL);
    EXPECT_TRUE(cancel.Clicked());
    EXPECT_EQ(no.text, L"取消时返回 2");
    // Both boxes are gone once answered.
    EXPECT_EQ(FindShownWindow([](HWND h) { return FindControlIn(h, L"label_text") != nullptr; }), nullptr);
}
