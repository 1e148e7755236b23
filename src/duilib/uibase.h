#pragma once
// Shared types of the skinned-window toolkit: its string, notification record and the
// interfaces windows implement.
#include <cwchar>
#include <string>
#include "platform/winuser.h"

class QPainter;
class QWidget;

namespace DuiLib {

typedef const wchar_t* LPCTSTR;
typedef void* LPVOID;
typedef QPainter* HDC;  // what a control paints with

// The toolkit's wide string: std::wstring with the handful of helpers window code uses.
class CDuiString : public std::wstring {
public:
    CDuiString() = default;
    CDuiString(const wchar_t* s) : std::wstring(s ? s : L"") {}
    CDuiString(const std::wstring& s) : std::wstring(s) {}
    CDuiString(std::wstring&& s) : std::wstring(std::move(s)) {}
    const wchar_t* GetData() const { return c_str(); }
    int GetLength() const { return static_cast<int>(size()); }
    bool IsEmpty() const { return empty(); }
    void Empty() { clear(); }
    int Compare(const wchar_t* s) const { return wcscmp(c_str(), s ? s : L""); }
    int CompareNoCase(const wchar_t* s) const { return wcscasecmp(c_str(), s ? s : L""); }
    operator const wchar_t*() const { return c_str(); }
};

// A skin given either by file name, by res.xml id or as XML text.
struct STRINGorID {
    STRINGorID(const wchar_t* s) : m_lpstr(s ? s : L"") {}
    STRINGorID(const std::wstring& s) : m_lpstr(s) {}
    STRINGorID(UINT id) : m_lpstr(std::to_wstring(id)) {}
    std::wstring m_lpstr;
};

class CControlUI;
class CPaintManagerUI;

// Notification types used by windows.
#define DUI_MSGTYPE_CLICK L"click"
#define DUI_MSGTYPE_SELECTCHANGED L"selectchanged"
#define DUI_MSGTYPE_ITEMSELECT L"itemselect"
#define DUI_MSGTYPE_RETURN L"return"
#define DUI_MSGTYPE_TEXTCHANGED L"textchanged"
#define DUI_MSGTYPE_WINDOWINIT L"windowinit"
#define DUI_MSGTYPE_SETFOCUS L"setfocus"
#define DUI_MSGTYPE_KILLFOCUS L"killfocus"

struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Control factory for skin tags the toolkit does not know.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;
};

// The tray and menu messages the toolkit sends to its owner window.
constexpr UINT UIMSG_TRAYICON = WM_USER + 1;   // 0x401, lParam = WM_MOUSEMOVE / WM_LBUTTONDOWN / WM_RBUTTONUP
constexpr UINT WM_MENUCLICK = WM_USER + 121;   // 0x479, wParam = heap CDuiString* item name (DeletePtr)

// Case-insensitive comparison of two wide strings.
inline bool EqualNoCase(const wchar_t* a, const wchar_t* b) { return wcscasecmp(a ? a : L"", b ? b : L"") == 0; }

} // namespace DuiLib
