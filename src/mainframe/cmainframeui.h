#pragma once
// The main window: owner of the web console's browser control, the tray icon and its menu and
// every other window. It runs modally from start-up until quit, receives the console's page
// calls, runs scripts in the page and turns traffic into tray blinking, hover-list rows,
// tips, pop-ups and sounds.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "duilib/uicefbrowser.h"
#include "duilib/uimenu.h"
#include "duilib/uitray.h"
#include "duilib/uiwindow.h"
#include "net/ccefcookie.h"
#include "notify/cplaysound.h"
#include "pagecallqueue.h"
#include "settings/configmanage.h"
#include "settings/versioncheck.h"

class CFrameTipUI;
class CFramePopUI;
class CFrameHoverUI;
class CWaitRing;
class CGuidanceUI;
class CFrameSettingUI;
class CFrameMsgCenterUI;
class CFrameSubscribeSetUI;
class CMsgGuidanceUI;

// One "HandleMessage" page call, handed from the browser's thread to the window thread.
struct MessageRecord {
    std::wstring strConversationId;
    std::wstring strName;
    std::wstring strKind;
    std::wstring strContent;
    std::wstring strAvatarUrl;
    std::wstring strIsCurUser;
    std::string strMsgId; // UTF-8; empty when the page sent six arguments
    std::wstring strAvatarPath; // the local avatar file, resolved before the record is posted
};

// The console page of an account: console host + "/admin/index.php?uid=" + the uid,
// percent-encoded as a query value so that no uid can change the address.
std::wstring ConsoleUrlForUid(const std::wstring& uid);
// The console's start page: console host + "/admin".
std::wstring ConsoleStartUrl();

class CMainFrameUI : public DuiLib::WindowImplBase,
                     public DuiLib::ISetHandleSolt,
                     public DuiLib::ILifeSpanHandleSlot,
                     public DuiLib::ILoadHandleSlot {
public:
    CMainFrameUI();
    ~CMainFrameUI() override;

    // Before Create: the cache folder (ending in a separator), the settings and the uid of the
    // command line.
    void InitParams(const std::wstring& cacheDir, const STRUCT_Config& settings, const std::wstring& uid);
    // Before Create: runs last in the start-up, once the version check has been answered
    // and the event store started (the application's URL-protocol check).
    void SetInitDoneHook(std::function<void()> hook) { m_fnInitDone = std::move(hook); }

    DuiLib::LPCTSTR GetWindowClassName() const override { return L"QDX_IM_MAIN"; }
    DuiLib::CDuiString GetSkinFile() override { return L"XML_MAIN"; }
    void InitWindow() override;
    void OnClick(DuiLib::TNotifyUI& msg) override;
    DuiLib::CControlUI* CreateControl(DuiLib::LPCTSTR pstrClass) override;
    LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

    // ISetHandleSolt
    DuiLib::ILoadHandleSlot* GetLoadHandleSlot(const std::wstring& browserName) override;
    DuiLib::ILifeSpanHandleSlot* GetLifeSpanHandleSlot(const std::wstring& browserName) override;
    void* GetOtherHandleSlot(const std::wstring& browserName) override { return nullptr; }
    // ILifeSpanHandleSlot
    void OnAfterCreated(DuiLib::CCefBrowserUI* browser) override;
    bool DoClose(DuiLib::CCefBrowserUI* browser) override { return true; }
    // ILoadHandleSlot
    void OnLoadError(DuiLib::CCefBrowserUI* browser, const DuiLib::CefFrameInfo& frame, int errorCode,
                     const std::wstring& errorText, const std::wstring& failedUrl) override;
    void OnLoadingStateChange(DuiLib::CCefBrowserUI* browser, bool isLoading, bool canGoBack,
                              bool canGoForward) override;
    void OnLoadStart(DuiLib::CCefBrowserUI* browser, const DuiLib::CefFrameInfo& frame) override;
    void OnLoadEnd(DuiLib::CCefBrowserUI* browser, const DuiLib::CefFrameInfo& frame, int httpStatusCode) override;

    // The page-call dispatcher: every call of the web console arrives here, on the window
    // thread, and runs in the page's order once the avatar it shows is on disk. Always false.
    bool OnPageCall(const std::wstring& name, const std::vector<std::wstring>& args);

    void BringToFront();
    void QuitApp();
    void SetOnlineIcon(bool online);
    void ResetAccountState();
    void ReceiveMessage(const MessageRecord& record);
    void ShowNotification(const std::wstring& kind, const std::wstring& id, const std::wstring& name,
                          const std::wstring& avatar, const std::wstring& text, const std::wstring& link);
    void PlayKindSound(const std::wstring& kind);
    void FlashTaskbar();
    // Shows "body" (bit 0), "ring_wait_load" (bit 1) and "refresh_failed_load" (bit 2).
    void ShowLoadState(int mask);

    // For the owner and for tests.
    bool IsOnline() const { return m_bOnline; }
    int GetQuitState() const { return m_nQuitState; }
    const STRUCT_Config& GetSettings() const { return m_Settings; }
    const std::wstring& GetTrayTip() const { return m_strTrayTip; }
    const std::wstring& GetUserName() const { return m_strUserName; }
    const std::string& GetUidA() const { return m_strUidA; }
    int GetOtaId() const { return m_nOtaId; }
    DuiLib::CCefBrowserUI* GetBrowser() const { return m_pBrowser; }
    CFrameHoverUI* GetHoverWnd() const { return m_pHoverWnd; }
    CFrameTipUI* GetTipWnd() const { return m_pTipWnd; }
    CFramePopUI* GetPopWnd() const { return m_pPopWnd; }
    CWaitRing* GetWaitRing() const { return m_pWaitRing; }
    // The windows below are made on their first use; none until then.
    CFrameSettingUI* GetSettingWnd() const { return m_pSettingWnd; }
    // Page calls still waiting for an avatar, or behind one that does.
    bool HasPendingPageCalls() const { return !m_PageCalls.IsIdle(); }
    CFrameMsgCenterUI* GetMsgCenterWnd() const { return m_pMsgCenterWnd; }
    CFrameSubscribeSetUI* GetSubscribeSetWnd() const { return m_pSubscribeSetWnd; }
    CMsgGuidanceUI* GetMsgGuidanceWnd() const { return m_pMsgGuidanceWnd; }
    bool HasMsgPermission() const { return m_bHasPermission; }
    CGuidanceUI* GetGuidanceWnd() const { return m_pGuidanceWnd; }

private:
    // Window life cycle and controls.
    void AdjustWindowForDpi();
    // What the console's first call needs, made once the window has first been painted so that
    // the window and the console's load come first: the avatar cache and the transport. Run
    // once: at that paint, at the console's first call, or with the start-up steps.
    void StartTransport();
    // The start-up steps that wait for the console's first call, so that nothing of them holds
    // up its loading: the tray icon, the window's icon and the version check (with the
    // transport, if not yet there). Run once: before that call runs, when the console's page
    // fails to load, or 1.5 s after InitWindow if neither has come by then (a console that
    // never calls).
    void RunStartupSteps();
    // The rest of the start-up, once the version check has its answer: the offer of a newer
    // client, then the event store, then the URL-protocol check (settingshooks.cpp).
    void OnVersionChecked();
    void StartEventStore();
    CFrameSettingUI* SettingWnd();
    // The tray's hover list, made by the first call or tray hover that needs it.
    CFrameHoverUI* HoverWnd();
    CWaitRing* WaitRing();
    // The first-use guidance window, made and shown at start until the guidance has been
    // viewed (guidancehooks.cpp). False when it was due and could not be made.
    bool ShowGuidanceIfDue();
    // Shows the settings window with the live record.
    void ShowSettingWnd();
    void ShowTrayMenu();
    void ShowQuitConfirm();
    void OnChangeState(int a, int b);
    void OnMenuClick(const std::wstring& item);
    void OnConfigChange(int index, int value);
    void OnActivateApp(WPARAM activated);
    void OnCopyData(LPARAM lParam);

    // Page scripts and connection windows.
    void RunScript(const std::wstring& script);
    void ShowNoNetwork();
    void ShowOtherPlaceLogin();
    bool CollectCookies();

    // Page calls.
    static bool PageCallAvatar(const SPageCall& call, std::wstring& key, std::wstring& url);
    void RunPageCall(const SPageCall& call);
    void OnUnReadMessage(const std::vector<std::wstring>& args, const std::wstring& avatar);
    void OnWindowsConfig(const std::vector<std::wstring>& args, const std::wstring& avatar);
    void OnWindowsInterface(const std::vector<std::wstring>& args);
    void OnOtaMessage(const std::vector<std::wstring>& args);

    // Notification routing.
    bool IsMainActive() const;
    void OnOpenConversation(std::wstring* id);
    // Message center side (msgcenterhooks.cpp). Its windows are made on first use.
    CFrameMsgCenterUI* MsgCenterWnd();
    CFrameSubscribeSetUI* SubscribeSetWnd();
    CMsgGuidanceUI* MsgGuidanceWnd();
    void DeleteMsgCenterWindows();
    void OnOtaLogin(int flag);
    void OnUnreadKnown(bool hasPermission, bool hasUnread);
    void AddLoginEvent();
    void ShowMsgGuidanceIfDue();
    void ShowMsgGuidance();
    void OpenMsgCenter();
    void OpenSubscribeSet();
    void ResetMsgCenter();
    // Closing hides the window; where no tray host shows the icon it minimises instead, so
    // the window can always be reached again.
    void HideToTray();

    DuiLib::CControlUI* m_pBtnHide = nullptr;
    DuiLib::CControlUI* m_pBtnMax = nullptr;
    DuiLib::CControlUI* m_pBtnRestore = nullptr;
    DuiLib::CControlUI* m_pBtnMin = nullptr;
    DuiLib::CControlUI* m_pBtnSetting = nullptr;
    DuiLib::CControlUI* m_pBtnMsgCenter = nullptr;
    DuiLib::CControlUI* m_pBtnUnreadMark = nullptr;
    DuiLib::CCefBrowserUI* m_pBrowser = nullptr;
    DuiLib::CControlUI* m_pBody = nullptr;
    DuiLib::CControlUI* m_pRingWaitLoad = nullptr;
    DuiLib::CControlUI* m_pRefreshFailedLoad = nullptr;
    DuiLib::CDuiTrayIcon* m_pTrayIcon = nullptr;
    CPlaySound m_PlaySound;
    CFrameTipUI* m_pTipWnd = nullptr;
    CFramePopUI* m_pPopWnd = nullptr;
    CFrameHoverUI* m_pHoverWnd = nullptr;
    CWaitRing* m_pWaitRing = nullptr;
    CFrameSettingUI* m_pSettingWnd = nullptr;
    CFrameMsgCenterUI* m_pMsgCenterWnd = nullptr;
    CFrameSubscribeSetUI* m_pSubscribeSetWnd = nullptr;
    CMsgGuidanceUI* m_pMsgGuidanceWnd = nullptr;
    CGuidanceUI* m_pGuidanceWnd = nullptr;
    DuiLib::CMenuWnd* m_pTrayMenu = nullptr;
    DuiLib::CefRefPtr<CCefCookie> m_pCookieVisitor;
    std::string m_strUidA;
    std::wstring m_strTrayTip;
    std::wstring m_strUserName;
    std::wstring m_strCacheDir;
    bool m_bOtherLoginShown = false;
    bool m_bOnline = false;
    int m_nQuitState = 0;
    STRUCT_Config m_Settings{};
    std::wstring m_strUid;
    std::function<void()> m_fnInitDone;
    bool m_bHasPermission = false;
    int m_nOtaId = 0;
    std::wstring m_strIniPath;
    int m_nIsGuidance = 0;
    bool m_bGuidanceClosed = false;
    std::recursive_mutex m_csNotify;
    CVersionCheck m_VersionCheck;
    bool m_bStartupStepsDone = false;
    bool m_bTransportStarted = false;
    bool m_bStartupPending = false; // the version check runs; the event store waits for it
    CPageCallQueue m_PageCalls;
};
