#pragma once
// One paint manager per window: the control tree, notifications, option groups, fonts and the
// skin's window sizes; plus the process-wide resource settings and the res.xml id table.
#include <deque>
#include <map>
#include <memory>
#include <vector>
#include "uibase.h"

class QFont;
class QPixmap;
class QWidget;

namespace DuiLib {

class CControlUI;

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    void Init(HWND hWnd, QWidget* host);
    // Expires when this manager is destroyed.
    std::weak_ptr<bool> AliveToken() const { return m_alive; }
    HWND GetPaintWindow() const { return m_hWndPaint; }
    QWidget* GetHostWidget() const { return m_pHost; }

    // Takes ownership of the tree and shows it in the window.
    bool AttachDialog(CControlUI* pControl);
    CControlUI* GetRoot() const { return m_pRoot; }
    // Releases the tree (deleted after the running notification, if any).
    void ReleaseRoot();
    // Calls DoInit on a control and its children (done by AttachDialog and container adds).
    void InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);

    CControlUI* FindControl(LPCTSTR pstrName) const;
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const;
    CControlUI* FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass, int iIndex = 0) const;

    bool AddNotifier(INotifyUI* pControl);
    bool RemoveNotifier(INotifyUI* pControl);
    // Hands the notification to every notifier; asynchronous ones arrive from the event loop,
    // in order, unless their sender was released meanwhile.
    void SendNotify(TNotifyUI& Msg, bool bAsync = false);
    void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);
    // Forgets a control that is going away (pending async notifications, option groups).
    void ReapObjects(CControlUI* pControl);
    // Told by the root control when it has painted: the first time, DUI_MSGTYPE_WINDOWINIT goes
    // to the notifiers from the event loop, once that paint is on the screen. A window that is
    // never painted never gets it.
    void OnRootPainted();

    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy);
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy);
    SIZE GetMaxInfo() const { return m_szMaxWindow; }
    void SetMaxInfo(int cx, int cy);
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(RECT rc) { m_rcCaption = rc; }
    RECT GetSizeBox() const { return m_rcSizeBox; }
    void SetSizeBox(RECT rc) { m_rcSizeBox = rc; }

    bool AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);
    const std::vector<CControlUI*>* GetOptionGroup(LPCTSTR pStrGroupName) const;
    void RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);

    void AddFont(int id, LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline, bool bItalic, bool bDefault);
    QFont GetFont(int id) const;
    void AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
    CDuiString GetDefaultAttributeList(LPCTSTR pStrControlName) const;
    DWORD GetDefaultFontColor() const { return m_dwDefaultFontColor; }
    void SetDefaultFontColor(DWORD c) { m_dwDefaultFontColor = c; }

    // Messages the toolkit itself handles for a window; true when handled.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // Frees what a toolkit message handed over in its wParam (the item name of WM_MENUCLICK).
    static void DeletePtr(void* ptr);

    static void SetInstance(HINSTANCE hInst);
    static HINSTANCE GetInstance();
    // The executable's folder, with a trailing '/'.
    static CDuiString GetInstancePath();
    static CDuiString GetCurrentPath();
    static void SetResourcePath(LPCTSTR pStrPath);
    static CDuiString GetResourcePath();
    // 1 = files (the only kind supported here).
    static void SetResourceType(int nType);
    static int GetResourceType();
    // Full path of a resource file: absolute paths stay, others are looked up in the resource
    // folder, then beside the executable. Backslashes are accepted. Empty when not found.
    static CDuiString FindResourceFile(LPCTSTR pStrName);
    static QPixmap GetImage(const CDuiString& file);

private:
    HWND m_hWndPaint = nullptr;
    QWidget* m_pHost = nullptr;
    CControlUI* m_pRoot = nullptr;
    void PostAsyncDelivery();
    void DeliverAsyncNotifications();

    std::vector<INotifyUI*> m_notifiers;
    std::deque<TNotifyUI> m_asyncNotify;
    bool m_bAsyncPosted = false;
    bool m_bWindowInitSent = false;
    std::map<CDuiString, std::vector<CControlUI*>> m_groups;
    std::map<int, std::shared_ptr<QFont>> m_fonts;
    int m_defaultFont = -1;
    std::map<CDuiString, CDuiString> m_defaultAttrs;
    SIZE m_szInitWindowSize{0, 0};
    SIZE m_szMinWindow{0, 0};
    SIZE m_szMaxWindow{0, 0};
    RECT m_rcCaption{0, 0, 0, 0};
    RECT m_rcSizeBox{0, 0, 0, 0};
    DWORD m_dwDefaultFontColor = 0xFF000000;
    std::shared_ptr<bool> m_alive;
};

// Maps the ids of "res.xml" to files:
//   <Res><XML id="XML_MAIN" path="main.xml"/><IMAGE id="..." path="..."/><ICON id="128" path="..."/></Res>
class CResourceManager {
public:
    static CResourceManager* GetInstance();
    // Loads an id table from a file in the resource folder (or XML text); false when it cannot
    // be read. Ids already known are replaced.
    bool LoadResource(STRINGorID xml, LPCTSTR type = nullptr);
    void ResetResourceMap();
    // The file behind an id, or empty.
    CDuiString GetXmlPath(LPCTSTR id) const;
    CDuiString GetImagePath(LPCTSTR id) const;
    CDuiString GetIconPath(UINT id) const;

private:
    std::map<CDuiString, CDuiString> m_xml, m_image, m_icon;
};

} // namespace DuiLib
