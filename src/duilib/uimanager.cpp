// Paint manager (per window) and the process-wide resource settings.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImageReader>
#include <QLayout>
#include <QPixmap>
#include <QPixmapCache>
#include <QTimer>
#include <QWidget>

#include <mutex>

#include "uilog.h"
#include "platform/sysinfo.h"
#include "uicontrols.h"
#include "uilifetime.h"
#include "uimanager.h"
#include "uiskin_p.h"
#include "uiwidget_p.h"

namespace DuiLib {

namespace {

std::mutex g_resMutex;
HINSTANCE g_hInstance = nullptr;
CDuiString g_resourcePath;
int g_resourceType = 1;

std::wstring Slashes(std::wstring s) {
    for (auto& c : s)
        if (c == L'\\')
            c = L'/';
    return s;
}

bool IsFile(const std::wstring& path) {
    QFileInfo fi(QString::fromStdWString(path));
    return fi.exists() && fi.isFile();
}

} // namespace

CPaintManagerUI::CPaintManagerUI() : m_alive(std::make_shared<bool>(true)) {}

CPaintManagerUI::~CPaintManagerUI() { ReleaseRoot(); }

void CPaintManagerUI::Init(HWND hWnd, QWidget* host) {
    m_hWndPaint = hWnd;
    m_pHost = host;
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    if (!pControl)
        return false;
    ReleaseRoot();
    m_pRoot = pControl;
    if (m_pHost && pControl->GetWidget()) {
        QLayout* lay = m_pHost->layout();
        if (lay) {
            pControl->GetWidget()->setParent(m_pHost);
            lay->addWidget(pControl->GetWidget());
        }
        pControl->ApplyParentedVisibility();
    }
    InitControls(pControl, nullptr);
    return true;
}

void CPaintManagerUI::ReleaseRoot() {
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    ReleaseControl(root);
    m_groups.clear();
}

void CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
    if (!pControl)
        return;
    pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) const {
    return FindSubControlByName(m_pRoot, pstrName);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (!m_pHost)
        return nullptr;
    QWidget* w = m_pHost->childAt(pt.x, pt.y);
    while (w) {
        if (auto* dw = dynamic_cast<DuiWidget*>(w))
            if (dw->Owner())
                return dw->Owner();
        w = w->parentWidget();
    }
    return nullptr;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const {
    if (!pParent || !pstrName || !*pstrName)
        return nullptr;
    CControlUI* found = nullptr;
    pParent->ForEach([&](CControlUI* c) {
        if (c->GetName() == pstrName) {
            found = c;
            return false;
        }
        return true;
    });
    return found;
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass, int iIndex) const {
    if (!pParent || !pstrClass)
        return nullptr;
    CControlUI* found = nullptr;
    int seen = 0;
    pParent->ForEach([&](CControlUI* c) {
        if (c->GetInterface(pstrClass) && seen++ == iIndex) {
            found = c;
            return false;
        }
        return true;
    });
    return found;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* p) {
    if (!p || std::find(m_notifiers.begin(), m_notifiers.end(), p) != m_notifiers.end())
        return false;
    m_notifiers.push_back(p);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* p) {
    auto it = std::find(m_notifiers.begin(), m_notifiers.end(), p);
    if (it == m_notifiers.end())
        return false;
    m_notifiers.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg, bool bAsync) {
    Msg.dwTimestamp = platform::GetTickCount();
    POINT pt{0, 0};
    platform::GetCursorPos(&pt);
    Msg.ptMouse = pt;
    if (bAsync) {
        m_asyncNotify.push_back(Msg);
        PostAsyncDelivery();
        return;
    }
    CNotifyScope scope;
    std::weak_ptr<bool> alive = m_alive;
    std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* n : notifiers) {
        if (alive.expired())
            return;
        if (std::find(m_notifiers.begin(), m_notifiers.end(), n) != m_notifiers.end())
            n->Notify(Msg);
    }
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam, LPARAM lParam, bool bAsync) {
    TNotifyUI msg;
    msg.pSender = pControl;
    msg.sType = pstrMessage;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync);
}

void CPaintManagerUI::OnRootPainted() {
    if (m_bWindowInitSent || !m_pRoot)
        return;
    m_bWindowInitSent = true;
    SendNotify(m_pRoot, DUI_MSGTYPE_WINDOWINIT, 0, 0, true);
}

void CPaintManagerUI::PostAsyncDelivery() {
    if (m_bAsyncPosted)
        return;
    m_bAsyncPosted = true;
    std::weak_ptr<bool> alive = m_alive;
    QTimer::singleShot(0, qApp, [this, alive] {
        if (!alive.expired())
            DeliverAsyncNotifications();
    });
}

void CPaintManagerUI::DeliverAsyncNotifications() {
    m_bAsyncPosted = false;
    CNotifyScope scope;
    std::weak_ptr<bool> alive = m_alive;
    // Only those queued so far; a handler queueing more gets another turn of the loop.
    for (size_t n = m_asyncNotify.size(); n > 0 && !m_asyncNotify.empty() && !alive.expired(); --n) {
        TNotifyUI msg = m_asyncNotify.front();
        m_asyncNotify.pop_front();
        SendNotify(msg, false);
    }
    if (!alive.expired() && !m_asyncNotify.empty())
        PostAsyncDelivery();
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    m_asyncNotify.erase(std::remove_if(m_asyncNotify.begin(), m_asyncNotify.end(),
                                       [pControl](const TNotifyUI& m) { return m.pSender == pControl; }),
                        m_asyncNotify.end());
    for (auto& g : m_groups) {
        auto& v = g.second;
        v.erase(std::remove(v.begin(), v.end(), pControl), v.end());
    }
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize = SIZE{cx, cy};
    if (m_pHost && cx > 0 && cy > 0)
        m_pHost->resize(cx, cy);
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) {
    if (cx < 0 || cy < 0)
        return;
    m_szMinWindow = SIZE{cx, cy};
    if (m_pHost)
        m_pHost->setMinimumSize(cx, cy);
}

void CPaintManagerUI::SetMaxInfo(int cx, int cy) {
    if (cx < 0 || cy < 0)
        return;
    m_szMaxWindow = SIZE{cx, cy};
    if (m_pHost)
        m_pHost->setMaximumSize(cx > 0 ? cx : QWIDGETSIZE_MAX, cy > 0 ? cy : QWIDGETSIZE_MAX);
}

bool CPaintManagerUI::AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
    auto& v = m_groups[pStrGroupName];
    if (std::find(v.begin(), v.end(), pControl) != v.end())
        return false;
    v.push_back(pControl);
    return true;
}

const std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(LPCTSTR pStrGroupName) const {
    auto it = m_groups.find(pStrGroupName);
    return it == m_groups.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
    auto it = m_groups.find(pStrGroupName);
    if (it == m_groups.end())
        return;
    auto& v = it->second;
    v.erase(std::remove(v.begin(), v.end(), pControl), v.end());
    if (v.empty())
        m_groups.erase(it);
}

void CPaintManagerUI::AddFont(int id, LPCTSTR name, int nSize, bool bBold, bool bUnderline, bool bItalic, bool bDefault) {
    auto f = std::make_shared<QFont>(QApplication::font());
    if (name && *name)
        f->setFamilies({QString::fromStdWString(name), QStringLiteral("Noto Sans CJK SC")});
    if (nSize > 0)
        f->setPixelSize(nSize);
    f->setBold(bBold);
    f->setUnderline(bUnderline);
    f->setItalic(bItalic);
    m_fonts[id] = f;
    if (bDefault || m_defaultFont < 0)
        m_defaultFont = id;
}

QFont CPaintManagerUI::GetFont(int id) const {
    auto it = m_fonts.find(id);
    if (it == m_fonts.end())
        it = m_fonts.find(m_defaultFont);
    if (it != m_fonts.end())
        return *it->second;
    QFont f = QApplication::font();
    f.setPixelSize(12);
    return f;
}

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList) {
    m_defaultAttrs[pStrControlName] = pStrControlAttrList;
}

CDuiString CPaintManagerUI::GetDefaultAttributeList(LPCTSTR pStrControlName) const {
    auto it = m_defaultAttrs.find(pStrControlName);
    return it == m_defaultAttrs.end() ? CDuiString() : it->second;
}

bool CPaintManagerUI::MessageHandler(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void CPaintManagerUI::DeletePtr(void* ptr) { delete static_cast<CDuiString*>(ptr); }

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { g_hInstance = hInst; }
HINSTANCE CPaintManagerUI::GetInstance() { return g_hInstance; }

CDuiString CPaintManagerUI::GetInstancePath() {
    std::wstring exe = platform::GetModuleFileName();
    size_t slash = exe.rfind(L'/');
    return slash == std::wstring::npos ? CDuiString() : CDuiString(exe.substr(0, slash + 1));
}

CDuiString CPaintManagerUI::GetCurrentPath() {
    return CDuiString(QDir::currentPath().toStdWString() + L"/");
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
    std::lock_guard<std::mutex> lock(g_resMutex);
    g_resourcePath = Slashes(pStrPath ? pStrPath : L"");
    if (!g_resourcePath.empty() && g_resourcePath.back() != L'/')
        g_resourcePath += L'/';
}

CDuiString CPaintManagerUI::GetResourcePath() {
    std::lock_guard<std::mutex> lock(g_resMutex);
    return g_resourcePath;
}

void CPaintManagerUI::SetResourceType(int nType) { g_resourceType = nType; }
int CPaintManagerUI::GetResourceType() { return g_resourceType; }

CDuiString CPaintManagerUI::FindResourceFile(LPCTSTR pStrName) {
    std::wstring name = Slashes(pStrName ? pStrName : L"");
    if (name.empty())
        return CDuiString();
    if (name[0] == L'/')
        return IsFile(name) ? CDuiString(name) : CDuiString();
    std::wstring res = GetResourcePath();
    if (!res.empty() && IsFile(res + name))
        return CDuiString(res + name);
    std::wstring inst = GetInstancePath();
    if (IsFile(inst + name))
        return CDuiString(inst + name);
    return CDuiString();
}

QPixmap CPaintManagerUI::GetImage(const CDuiString& file) {
    QString key = QString::fromStdWString(file);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    // Read as its suffix names it: asked to guess, the reader first loads every image plugin
    // there is to ask each of them. A file whose suffix misleads is still read, by its content.
    QImageReader named(key, QFileInfo(key).suffix().toLatin1());
    named.setAutoDetectImageFormat(false);
    QImage image = named.read();
    if (image.isNull())
        image = QImageReader(key).read();
    pm = QPixmap::fromImage(image);
    if (!pm.isNull())
        QPixmapCache::insert(key, pm);
    return pm;
}

// ---------------------------------------------------------------------------------------------
// CResourceManager

CResourceManager* CResourceManager::GetInstance() {
    static CResourceManager instance;
    return &instance;
}

void CResourceManager::ResetResourceMap() {
    m_xml.clear();
    m_image.clear();
    m_icon.clear();
}

bool CResourceManager::LoadResource(STRINGorID xml, LPCTSTR) {
    std::wstring src = xml.m_lpstr;
    std::shared_ptr<SkinDocument> doc;
    size_t first = src.find_first_not_of(L" \t\r\n");
    if (first != std::wstring::npos && src[first] == L'<') {
        doc = ParseSkinText(src);
    } else {
        CDuiString path = CPaintManagerUI::FindResourceFile(src.c_str());
        if (path.empty()) {
            UILog(UILOG_ERROR, L"resource table %s not found", src.c_str());
            return false;
        }
        doc = LoadSkinFile(path, src);
    }
    if (!doc)
        return false;
    auto attr = [](const SkinNode& e, const wchar_t* name) {
        for (const auto& a : e.attrs)
            if (a.first == name)
                return a.second;
        return std::wstring();
    };
    for (const SkinNode& e : doc->root.children) {
        CDuiString id = attr(e, L"id");
        CDuiString path = Slashes(attr(e, L"path"));
        if (id.empty() || path.empty())
            continue;
        if (EqualNoCase(e.tag.c_str(), L"XML"))
            m_xml[id] = path;
        else if (EqualNoCase(e.tag.c_str(), L"IMAGE"))
            m_image[id] = path;
        else if (EqualNoCase(e.tag.c_str(), L"ICON"))
            m_icon[id] = path;
    }
    return true;
}

CDuiString CResourceManager::GetXmlPath(LPCTSTR id) const {
    auto it = m_xml.find(id ? id : L"");
    return it == m_xml.end() ? CDuiString() : it->second;
}

CDuiString CResourceManager::GetImagePath(LPCTSTR id) const {
    auto it = m_image.find(id ? id : L"");
    return it == m_image.end() ? CDuiString() : it->second;
}

CDuiString CResourceManager::GetIconPath(UINT id) const {
    auto it = m_icon.find(std::to_wstring(id));
    return it == m_icon.end() ? CDuiString() : it->second;
}

} // namespace DuiLib
