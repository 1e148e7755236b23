#pragma once
// Window handles and numbered window messages. Messages keep their Win32 numbers; posting lands
// on the window's own thread through Qt's event queue, and handles of other running instances are
// reached through their per-user socket (winbus.cpp).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include "wintypes.h"

typedef struct HWND__* HWND;
typedef void* HINSTANCE;
typedef void* HMONITOR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};

// The forwarding packet layout of WM_COPYDATA.
struct COPYDATASTRUCT {
    ULONG_PTR dwData;
    DWORD cbData;
    void* lpData;
};

struct FLASHWINFO {
    UINT cbSize;
    HWND hwnd;
    DWORD dwFlags;
    UINT uCount;
    DWORD dwTimeout;
};

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_USER = 0x0400;

constexpr UINT SC_SIZE = 0xF000;
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_MAXIMIZE = 0xF030;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;

// Window styles: only their meaning for our frameless top-level windows is used.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr int CW_USEDEFAULT = (int)0x80000000;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
static const HWND HWND_TOP = nullptr;
static const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);

constexpr DWORD FLASHW_STOP = 0;
constexpr DWORD FLASHW_CAPTION = 1;
constexpr DWORD FLASHW_TRAY = 2;
constexpr DWORD FLASHW_ALL = 3;
constexpr DWORD FLASHW_TIMER = 4;
constexpr DWORD FLASHW_TIMERNOFG = 12;

constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;

constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDCLOSE = 8;

namespace platform {

// What a window handle delivers its messages to. The toolkit's windows implement it.
class IWindowMessageTarget {
public:
    virtual ~IWindowMessageTarget() = default;
    virtual LRESULT OnWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    // DestroyWindow on this handle, run on the window's thread.
    virtual void OnDestroyRequest(HWND hwnd) = 0;
};

// Gives a new handle to `widget` (a QWidget*, kept opaque so callers need no Qt headers). Must be
// called on the thread the widget lives on; that thread receives the window's messages. The
// handle stays valid until DestroyWindowHandle.
HWND RegisterWindowHandle(void* widget, IWindowMessageTarget* target, bool topLevel, const std::wstring& title);
// Forgets the handle: later posts fail, pending posts and timers are dropped, senders waiting
// on it are released with 0.
void DestroyWindowHandle(HWND hwnd);
void* WidgetFromHandle(HWND hwnd);
HWND HandleFromWidget(const void* widget);

BOOL IsWindow(HWND hwnd);
// True for handles owned by this process.
bool IsLocalWindow(HWND hwnd);
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Posts a message whose wParam is heap data the receiver takes over. When it can never be
// delivered (no such local window, or the window is destroyed before its turn) `release` frees
// it instead; it is never handed to another process.
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, void (*release)(WPARAM));
// The same for a `new T`: deleted when undeliverable.
template <class T>
BOOL PostOwnedMessage(HWND hwnd, UINT msg, T* data, LPARAM lParam = 0) {
    return PostMessage(hwnd, msg, reinterpret_cast<WPARAM>(data), lParam,
                       [](WPARAM w) { delete reinterpret_cast<T*>(w); });
}
// Blocks until the window's thread handled the message (handling messages sent to the calling
// thread meanwhile). Returns 0 at once for a destroyed window or one whose thread has ended.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs `fn` on the window's thread and waits for it, with SendMessage's rules; false when the
// window or its thread is gone.
bool RunOnWindowThread(HWND hwnd, const std::function<void()>& fn);

// Repeating timer delivering WM_TIMER (wParam = id) to the window. Id 0 arms a fresh id. Returns
// the id armed, 0 on failure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void* unusedTimerProc = nullptr);
// FALSE when the window has no such timer (from any thread).
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Every top-level window of this instance (creation order), then those of the other running
// instances of the same user. Stops when `proc` returns FALSE.
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
// Same, with a callable (for code that wants a capture).
void EnumWindows(const std::function<bool(HWND)>& proc);
std::wstring GetWindowText(HWND hwnd);
int GetWindowText(HWND hwnd, wchar_t* buffer, int maxCount);
BOOL SetWindowText(HWND hwnd, const std::wstring& text);

BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// The id of the thread owning the window (0 for other instances' windows); pid receives the
// owning process.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* pid);
// Input focus is shared by the whole process here, so joining input queues has nothing to do.
BOOL AttachThreadInput(DWORD idAttach, DWORD idAttachTo, BOOL attach);
BOOL DestroyWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND SetActiveWindow(HWND hwnd);
BOOL FlashWindowEx(const FLASHWINFO* info);
// Screen rectangle of the window's frame / client size at 0,0.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info);
// Logical pixels per inch of the screen holding the window (96 at 100 %); only LOGPIXELSX and
// LOGPIXELSY are answered.
int GetDeviceCaps(HWND hwnd, int index);
BOOL GetCursorPos(POINT* point);
// A native child window without content, for code that draws into a window of its own (video).
// The toolkit never paints it; it is stacked above the parent's controls and destroyed with the
// parent. Coordinates are the parent's client coordinates.
HWND CreateChildWindow(HWND parent, int x, int y, int cx, int cy, bool visible);
// The native window-system id of a window (X11 window id); 0 when it has none (offscreen,
// Wayland).
uintptr_t GetNativeWindowId(HWND hwnd);
// Message numbers from 0xC000 up, the same number for the same name within this process.
UINT RegisterWindowMessage(const std::wstring& name);

// Ends the running modal loops of the calling thread (each nested one in turn); when none runs,
// the next one on this thread ends as soon as it starts.
void PostQuitMessage(int exitCode);
// Runs a nested event loop on the calling thread until `done` is true (checked after every
// event) or PostQuitMessage is called. Returns false when it ended through the quit message.
bool RunModalLoop(const std::function<bool()>& done);
// Ends the modal loops of the calling thread whose condition has become true.
void CheckModalLoops();
// The exit code of the last quit message seen on this thread.
int LastQuitCode();
// Processes pending events of the calling thread for up to `ms` milliseconds; false when a
// quit message arrived meanwhile.
bool PumpMessages(int ms);

inline bool PtInRectInclusive(const RECT& rc, const POINT& pt) {
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y <= rc.bottom;
}

} // namespace platform
