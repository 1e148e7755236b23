#pragma once
// The browser control (Chromium through Qt WebEngine), its callbacks and the browser's cookie
// store.
//
// Pages call the program through `window.shopdeskNative(name, arg1, arg2, ...)`, defined in every
// page before the page's own scripts. Each call reaches the control's callback as (name, list of
// strings): strings unchanged, numbers and booleans as their text (3 -> "3"), null/undefined as
// "", anything else as JSON. Calls made before the page's channel to the program is up are queued
// and delivered in order.
#include <atomic>
#include <functional>
#include <string>
#include <vector>
#include "uicefbrowsertrust.h"
#include "uicontrols.h"

class QWebEngineView;
class QWebEngineProfile;

namespace DuiLib {

// The helper processes of the browser run as this program file (beside the executable), so a
// process list tells our browser apart from any other Chromium-based program.
extern const wchar_t* const kBrowserHelperName;

// Intrusive reference counting for objects handed to the browser runtime.
class CefBaseRefCounted {
public:
    virtual ~CefBaseRefCounted() = default;
    virtual void AddRef() const = 0;
    virtual bool Release() const = 0;
    virtual bool HasOneRef() const = 0;
};

template <class T>
class CefRefPtr {
public:
    CefRefPtr() = default;
    CefRefPtr(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    CefRefPtr(const CefRefPtr& o) : CefRefPtr(o.m_p) {}
    ~CefRefPtr() {
        if (m_p)
            m_p->Release();
    }
    CefRefPtr& operator=(const CefRefPtr& o) {
        CefRefPtr tmp(o);
        std::swap(m_p, tmp.m_p);
        return *this;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// One cookie of the store. A name or value the store holds no text for at all is null.
struct CefCookie {
    const wchar_t* name() const { return has_name ? name_text.c_str() : nullptr; }
    const wchar_t* value() const { return has_value ? value_text.c_str() : nullptr; }
    std::wstring name_text, value_text, domain, path;
    bool has_name = true, has_value = true;
    bool secure = false, httponly = false;
};

class CefCookieVisitor : public virtual CefBaseRefCounted {
public:
    // Once per cookie; return false to stop. Setting deleteCookie removes the cookie.
    virtual bool Visit(const CefCookie& cookie, int count, int total, bool& deleteCookie) = 0;
};

// The browser's cookie store (the profile started by InitCef).
class CefCookieManager : public CefBaseRefCounted {
public:
    // None before InitCef or after Quit.
    static CefRefPtr<CefCookieManager> GetGlobalManager(void* unusedCallback = nullptr);
    // Visits every cookie later, from the event loop; false when nothing will be visited (no
    // visitor, no store). The visitor is kept alive until the visit ends.
    bool VisitAllCookies(CefRefPtr<CefCookieVisitor> visitor);
    // Number of cookies the store holds now.
    int CookieCount() const;

    void AddRef() const override { m_ref.fetch_add(1); }
    bool Release() const override {
        if (m_ref.fetch_sub(1) == 1) {
            delete this;
            return true;
        }
        return false;
    }
    bool HasOneRef() const override { return m_ref.load() == 1; }

private:
    mutable std::atomic<int> m_ref{0};
};

class CCefBrowserUI;

// What one frame's load callback is about. Qt WebEngine reports loads of the main frame only.
struct CefFrameInfo {
    bool is_main = true;
    std::wstring url;
    bool IsMain() const { return is_main; }
    std::wstring GetURL() const { return url; }
};

class ILifeSpanHandleSlot {
public:
    virtual ~ILifeSpanHandleSlot() = default;
    virtual void OnAfterCreated(CCefBrowserUI* browser) {}
    // Asked when the control closes its browser; true lets it close.
    virtual bool DoClose(CCefBrowserUI* browser) { return false; }
};

class ILoadHandleSlot {
public:
    virtual ~ILoadHandleSlot() = default;
    virtual void OnLoadError(CCefBrowserUI* browser, const CefFrameInfo& frame, int errorCode,
                             const std::wstring& errorText, const std::wstring& failedUrl) {}
    virtual void OnLoadingStateChange(CCefBrowserUI* browser, bool isLoading, bool canGoBack, bool canGoForward) {}
    virtual void OnLoadStart(CCefBrowserUI* browser, const CefFrameInfo& frame) {}
    virtual void OnLoadEnd(CCefBrowserUI* browser, const CefFrameInfo& frame, int httpStatusCode) {}
};

// Hands the control its callbacks; asked with the control's skin name once it is in its window.
class ISetHandleSolt {
public:
    virtual ~ISetHandleSolt() = default;
    virtual ILoadHandleSlot* GetLoadHandleSlot(const std::wstring& browserName) { return nullptr; }
    virtual ILifeSpanHandleSlot* GetLifeSpanHandleSlot(const std::wstring& browserName) { return nullptr; }
    virtual void* GetOtherHandleSlot(const std::wstring& browserName) { return nullptr; }
};

// Page-to-program call: (function name, arguments) -> handled.
typedef std::function<bool(const std::wstring& name, const std::vector<std::wstring>& args)> CefJsCallback;

class CCefBrowserUI : public CControlUI {
public:
    CCefBrowserUI(HWND hParent, CefJsCallback callback, ISetHandleSolt* pSlots, LPCTSTR url);
    ~CCefBrowserUI() override;

    CDuiString GetClass() const override { return L"CefBrowserUI"; }
    LPVOID GetInterface(LPCTSTR pstrName) override;
    void SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) override;
    void DoInit() override;

    void LoadURL(const std::wstring& url);
    void StopLoad();
    // Runs a script in the page's main frame; lost when no page is loaded.
    void ExectueJS(const std::wstring& js);
    // Closes the browser (after asking the life-span slot); the control stays, empty.
    void CloseCefWindow();
    // Signs the current account out of the browser (its cookies go) and loads the page again.
    void SwitchUser();
    // The main frame's address.
    std::wstring GetURL() const;
    // A page whose certificate the system store refuses loads only when its chain verifies
    // against `caFile` (the PEM CA of a private deployment) and its host and port are those of
    // one of `hosts` (base URLs). Set before the first load.
    void SetPrivateCa(const std::wstring& caFile, const std::vector<std::wstring>& hosts);
    bool IsLoading() const { return m_bLoading; }
    QWebEngineView* GetView() const { return m_pView; }

    // Starts the browser runtime: a persistent profile under `cachePath` (cookies and cache kept
    // between runs), an off-the-record one when it is empty. False without an application.
    static bool InitCef(HINSTANCE hInstance, const std::wstring& cachePath, const std::wstring& text);
    // Shuts the runtime down: closes every browser and releases the profile.
    static void Quit();
    static bool IsInitialized();
    static QWebEngineProfile* Profile();

private:
    void CreateView();
    // Detaches and schedules the deletion of the view; the control stays, empty.
    void ReleaseView();
    void ResolveSlots();
    void DeliverCall(const std::wstring& name, const std::vector<std::wstring>& args);

    HWND m_hParent;
    CefJsCallback m_callback;
    ISetHandleSolt* m_pSlots;
    ILoadHandleSlot* m_pLoadSlot = nullptr;
    ILifeSpanHandleSlot* m_pLifeSlot = nullptr;
    std::wstring m_startUrl;
    CPrivateCaTrust m_trust;
    QWebEngineView* m_pView = nullptr;
    QObject* m_pBridge = nullptr;
    bool m_bInited = false;
    bool m_bLoading = false;
    bool m_bClosed = false;

    friend class CefBridge;
};

} // namespace DuiLib
