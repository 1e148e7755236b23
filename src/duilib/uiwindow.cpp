// CWindowWnd and WindowImplBase.
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <map>

#include "uilog.h"
#include "uidlgbuilder.h"
#include "uiwindow.h"
#include "uiwindow_p.h"

namespace DuiLib {

namespace {
// Close codes of windows that ended, read by ShowModal after the window (and possibly its
// object) is gone. Window thread only.
std::map<HWND, UINT> g_closeCodes;
}

// ---------------------------------------------------------------------------------------------
// DuiHostWidget

DuiHostWidget::DuiHostWidget(CWindowWnd* owner) : m_owner(owner) {
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void DuiHostWidget::closeEvent(QCloseEvent* e) {
    // The window decides: the system close command goes through its handler.
    e->ignore();
    if (m_owner && m_owner->GetHWND() && !m_owner->m_bDestroying)
        m_owner->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
}

void DuiHostWidget::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (m_owner && m_owner->GetHWND() && !e->spontaneous())
        m_owner->SendMessage(WM_SHOWWINDOW, TRUE, 0);
}

void DuiHostWidget::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (m_owner && m_owner->GetHWND() && !e->spontaneous())
        m_owner->SendMessage(WM_SHOWWINDOW, FALSE, 0);
}

void DuiHostWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (m_owner && m_owner->GetHWND())
        m_owner->SendMessage(WM_SIZE, 0, static_cast<LPARAM>((height() & 0xFFFF) << 16 | (width() & 0xFFFF)));
}

bool DuiHostWidget::InCaption(const QPoint& p) const {
    auto* impl = dynamic_cast<WindowImplBase*>(m_owner);
    if (!impl)
        return false;
    RECT rc = impl->GetPaintManager().GetCaptionRect();
    return rc.bottom > 0 && p.y() >= rc.top && p.y() < rc.bottom && p.x() >= rc.left && p.x() < width() - rc.right;
}

void DuiHostWidget::mousePressEvent(QMouseEvent* e) {
    // Only reached when no control took the press.
    if (e->button() == Qt::LeftButton && InCaption(e->position().toPoint()) && windowHandle()) {
        windowHandle()->startSystemMove();
        e->accept();
        return;
    }
    QWidget::mousePressEvent(e);
}

void DuiHostWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && InCaption(e->position().toPoint()) && m_owner) {
        m_owner->SendMessage(WM_NCLBUTTONDBLCLK, 2 /* HTCAPTION */, 0);
        e->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(e);
}

void DuiHostWidget::keyPressEvent(QKeyEvent* e) {
    WPARAM vk = 0;
    switch (e->key()) {
    case Qt::Key_Escape: vk = 0x1B; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: vk = 0x0D; break;
    case Qt::Key_Space: vk = 0x20; break;
    case Qt::Key_F4:
        if (e->modifiers() & Qt::AltModifier) {
            close();
            return;
        }
        break;
    default: break;
    }
    if (vk && m_owner) {
        m_owner->SendMessage(WM_KEYDOWN, vk, 0);
        return;
    }
    QWidget::keyPressEvent(e);
}

// ---------------------------------------------------------------------------------------------
// CWindowWnd

CWindowWnd::CWindowWnd() = default;

QWidget* CWindowWnd::GetHostWidget() const { return m_pHost; }

CWindowWnd::~CWindowWnd() { ReleaseWindow(); }

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx, int cy,
                        void*) {
    if (m_hWnd)
        return m_hWnd;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        UILog(UILOG_ERROR, L"window %s created without an application", pstrName ? pstrName : L"");
        return nullptr;
    }
    m_dwStyle = dwStyle;
    m_dwExStyle = dwExStyle;
    m_hWndOwner = hwndParent;
    m_pHost = new DuiHostWidget(this);
    auto* ownerHost = static_cast<QWidget*>(platform::WidgetFromHandle(hwndParent));
    bool child = (dwStyle & WS_CHILD) && ownerHost;
    if (child) {
        m_pHost->setParent(ownerHost);
    } else {
        Qt::WindowFlags flags = Qt::FramelessWindowHint;
        flags |= (dwExStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
        if (dwExStyle & WS_EX_TOPMOST)
            flags |= Qt::WindowStaysOnTopHint;
        m_pHost->setWindowFlags(flags);
    }
    std::wstring title = pstrName ? pstrName : L"";
    m_pHost->setWindowTitle(QString::fromStdWString(title));
    if (cx != CW_USEDEFAULT && cy != CW_USEDEFAULT && cx > 0 && cy > 0)
        m_pHost->resize(cx, cy);
    if (x != CW_USEDEFAULT && y != CW_USEDEFAULT)
        m_pHost->move(x, y);
    m_hWnd = platform::RegisterWindowHandle(m_pHost, this, !child, title);
    if (!child && ownerHost && ownerHost->window()) {
        m_pHost->winId();
        ownerHost->window()->winId();
        if (m_pHost->windowHandle() && ownerHost->window()->windowHandle())
            m_pHost->windowHandle()->setTransientParent(ownerHost->window()->windowHandle());
    }
    HWND self = m_hWnd;
    SendMessage(WM_CREATE, 0, 0);
    if (!platform::IsLocalWindow(self))
        return nullptr;
    if (dwStyle & WS_DISABLED)
        m_pHost->setEnabled(false);
    if (dwStyle & WS_VISIBLE)
        ShowWindow(true, true);
    return m_hWnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!m_hWnd)
        return;
    platform::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    HWND h = m_hWnd;
    if (!h)
        return 0;
    HWND owner = m_hWndOwner;
    bool disableOwner = owner && platform::IsWindowEnabled(owner);
    if (disableOwner)
        platform::EnableWindow(owner, FALSE);
    ShowWindow(true, true);
    // `this` may be deleted by OnFinalMessage while the loop runs: only locals from here on.
    platform::RunModalLoop([h] { return !platform::IsLocalWindow(h); });
    if (disableOwner && platform::IsLocalWindow(owner)) {
        platform::EnableWindow(owner, TRUE);
        platform::SetForegroundWindow(owner);
    }
    UINT code = 0;
    auto it = g_closeCodes.find(h);
    if (it != g_closeCodes.end()) {
        code = it->second;
        g_closeCodes.erase(it);
    }
    return code;
}

void CWindowWnd::Close(UINT nRet) {
    if (m_hWnd)
        PostMessage(WM_CLOSE, nRet, 0);
}

void CWindowWnd::CenterWindow() {
    if (!m_pHost)
        return;
    QRect frame = m_pHost->frameGeometry();
    QRect area;
    auto* ownerHost = static_cast<QWidget*>(platform::WidgetFromHandle(m_hWndOwner));
    if (ownerHost && ownerHost->isVisible() && !ownerHost->isMinimized())
        area = ownerHost->frameGeometry();
    else {
        QScreen* s = m_pHost->screen() ? m_pHost->screen() : QGuiApplication::primaryScreen();
        if (!s)
            return;
        area = s->availableGeometry();
    }
    QPoint tl = area.center() - QPoint(frame.width() / 2, frame.height() / 2);
    // Never off the work area of the screen.
    if (QScreen* s = QGuiApplication::screenAt(area.center()) ? QGuiApplication::screenAt(area.center())
                                                              : QGuiApplication::primaryScreen()) {
        QRect work = s->availableGeometry();
        tl.setX(std::max(work.left(), std::min(tl.x(), work.right() - frame.width() + 1)));
        tl.setY(std::max(work.top(), std::min(tl.y(), work.bottom() - frame.height() + 1)));
    }
    m_pHost->move(tl);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (!m_pHost)
        return;
    m_pHost->resize(cx < 0 ? m_pHost->width() : cx, cy < 0 ? m_pHost->height() : cy);
}

void CWindowWnd::SetIcon(UINT nRes) {
    if (!m_pHost)
        return;
    CDuiString path = CPaintManagerUI::FindResourceFile(CResourceManager::GetInstance()->GetIconPath(nRes).c_str());
    if (!path.empty())
        m_pHost->setWindowIcon(QIcon(QString::fromStdWString(path)));
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return platform::SendMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return platform::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) { return DefWindowProc(uMsg, wParam, lParam); }

LRESULT CWindowWnd::OnWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    return HandleMessage(msg, wParam, lParam);
}

void CWindowWnd::OnDestroyRequest(HWND hwnd) {
    if (hwnd != m_hWnd || m_bDestroying)
        return;
    m_bDestroying = true;
    if (m_pHost)
        m_pHost->hide();
    HandleMessage(WM_DESTROY, 0, 0);
    HandleMessage(WM_NCDESTROY, 0, 0);
    ReleaseWindow();
    m_bDestroying = false;
    OnFinalMessage(hwnd);
}

LRESULT CWindowWnd::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_CLOSE:
        if (m_hWnd) {
            g_closeCodes[m_hWnd] = static_cast<UINT>(wParam);
            OnDestroyRequest(m_hWnd);
        }
        return 0;
    case WM_SYSCOMMAND:
        if (!m_pHost)
            return 0;
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessage(WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: m_pHost->showMinimized(); break;
        case SC_MAXIMIZE: m_pHost->showMaximized(); break;
        case SC_RESTORE: m_pHost->showNormal(); break;
        default: break;
        }
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (m_pHost && (m_dwStyle & WS_MAXIMIZEBOX))
            SendMessage(WM_SYSCOMMAND, m_pHost->isMaximized() ? SC_RESTORE : SC_MAXIMIZE, 0);
        return 0;
    default:
        return 0;
    }
}

void CWindowWnd::ReleaseWindow() {
    if (!m_hWnd)
        return;
    HWND h = m_hWnd;
    m_hWnd = nullptr;
    platform::DestroyWindowHandle(h);
    OnReleaseWindow();
    if (m_pHost) {
        m_pHost->Detach();
        m_pHost->hide();
        m_pHost->deleteLater();
        m_pHost = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// WindowImplBase

WindowImplBase::WindowImplBase() = default;

WindowImplBase::~WindowImplBase() { ReleaseWindow(); }

void WindowImplBase::OnReleaseWindow() {
    m_PaintManager.RemoveNotifier(this);
    m_PaintManager.ReleaseRoot();
    m_PaintManager.Init(nullptr, nullptr);
}

void WindowImplBase::OnFinalMessage(HWND) { m_PaintManager.RemoveNotifier(this); }

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK)
        OnClick(msg);
}

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (!msg.pSender)
        return;
    CDuiString name = msg.pSender->GetName();
    if (name == L"closebtn")
        Close();
    else if (name == L"minbtn")
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"maxbtn")
        SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    else if (name == L"restorebtn")
        SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    BOOL bHandled = TRUE;
    switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZE: lRes = OnSize(uMsg, wParam, lParam, bHandled); break;
    case WM_NCLBUTTONDBLCLK: lRes = OnNcLButtonDblClk(uMsg, wParam, lParam, bHandled); break;
    case WM_KEYDOWN: lRes = OnKeyDown(uMsg, wParam, lParam, bHandled); break;
    case WM_TIMER: lRes = OnTimer(uMsg, wParam, lParam, bHandled); break;
    default: bHandled = FALSE; break;
    }
    if (bHandled)
        return lRes;
    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled)
        return lRes;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes))
        return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    m_PaintManager.Init(m_hWnd, m_pHost);
    CDuiString skin = GetSkinFile();
    CDuiString folder = GetSkinFolder();
    if (!folder.empty() && CResourceManager::GetInstance()->GetXmlPath(skin.c_str()).empty() &&
        skin.find(L'<') == std::wstring::npos)
        skin = folder + (folder.back() == L'/' ? L"" : L"/") + skin;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(skin.c_str(), nullptr, this, &m_PaintManager);
    if (!root) {
        // The window still opens, empty, so its owner's flow goes on.
        UILog(UILOG_ERROR, L"window %s: skin %s could not be built", GetWindowClassName(), skin.c_str());
        root = new CVerticalLayoutUI;
    }
    m_PaintManager.AttachDialog(root);
    m_PaintManager.AddNotifier(this);
    SIZE init = m_PaintManager.GetInitSize();
    if (init.cx > 0 && init.cy > 0 && m_pHost)
        m_pHost->resize(init.cx, init.cy);
    else if (m_pHost && (m_pHost->width() < 10 || m_pHost->height() < 10))
        m_pHost->resize(400, 300);
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessage(WM_CLOSE, 0, 0);
        return 0;
    }
    bool zoomed = m_pHost && m_pHost->isMaximized();
    LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    bool nowZoomed = m_pHost && m_pHost->isMaximized();
    if (zoomed != nowZoomed) {
        CControlUI* maxBtn = m_PaintManager.FindControl(L"maxbtn");
        CControlUI* restoreBtn = m_PaintManager.FindControl(L"restorebtn");
        if (maxBtn)
            maxBtn->SetVisible(!nowZoomed);
        if (restoreBtn)
            restoreBtn->SetVisible(nowZoomed);
    }
    return lRes;
}

LRESULT WindowImplBase::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnTimer(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnNcLButtonDblClk(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    return 0;
}

LRESULT WindowImplBase::OnKeyDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

} // namespace DuiLib
