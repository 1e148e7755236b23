// A second instance for the cross-process tests: one top-level window titled by argv[1] that
// reports every WM_COPYDATA and program message it gets on stdout, and ends on WM_QUIT_APP.
// Messages that carry heap data are handled the way the workbench handles them, so one that
// crossed with a foreign number would crash it.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include "common/custommsg.h"
#include "platform/winuser.h"

namespace {

class Peer : public platform::IWindowMessageTarget {
public:
    LRESULT OnWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COPYDATA) {
            auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!cds)
                return -1;
            // Only the bytes that came: a unit is read only when both its bytes are there.
            const auto* bytes = static_cast<const unsigned char*>(cds->lpData);
            std::string text;
            for (DWORD i = 0; i + 1 < cds->cbData; i += 2) {
                unsigned unit = bytes[i] | (bytes[i + 1] << 8);
                if (!unit)
                    break;
                text += unit < 128 ? static_cast<char>(unit) : '?';
            }
            printf("copydata w=%lu data=%lu size=%lu text=%s\n", (unsigned long)wParam, (unsigned long)cds->dwData,
                   (unsigned long)cds->cbData, text.c_str());
            fflush(stdout);
            return static_cast<LRESULT>(cds->cbData) * 1000 + (cds->cbData ? bytes[0] : 0);
        }
        if (msg == WM_QUIT_APP) {
            printf("quit\n");
            fflush(stdout);
            QCoreApplication::quit();
            return 0;
        }
        if (msg == WM_RECEIVE_MSG || msg == WM_OPEN_CONVERSATION || msg == WM_MENU_CLICK) {
            auto* text = reinterpret_cast<std::wstring*>(wParam);
            printf("pointer %u length %zu\n", msg, text ? text->size() : 0);
            delete text;
        }
        if (msg >= WM_USER) {
            printf("message %u %lu %ld\n", msg, (unsigned long)wParam, (long)lParam);
            fflush(stdout);
            return static_cast<LRESULT>(wParam + lParam);
        }
        return 0;
    }
    void OnDestroyRequest(HWND hwnd) override { platform::DestroyWindowHandle(hwnd); }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Peer peer;
    std::string title = argc > 1 ? argv[1] : "PEER";
    HWND h = platform::RegisterWindowHandle(nullptr, &peer, true, std::wstring(title.begin(), title.end()));
    printf("ready %llu\n", (unsigned long long)reinterpret_cast<uintptr_t>(h));
    fflush(stdout);
    int rc = app.exec();
    platform::DestroyWindowHandle(h);
    return rc;
}
