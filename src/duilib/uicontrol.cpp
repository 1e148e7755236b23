// The control base: its widget, state, size, visibility and painting.
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "uicontrols.h"
#include "uilifetime.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

QColor ToQColor(DWORD argb) { return QColor::fromRgba(static_cast<QRgb>(argb)); }

// ---------------------------------------------------------------------------------------------
// DuiWidget

void DuiWidget::paintEvent(QPaintEvent*) {
    if (!m_owner)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    m_owner->DoPaint(&painter);
    CPaintManagerUI* manager = m_owner->GetManager();
    if (manager && manager->GetRoot() == m_owner)
        manager->OnRootPainted();
}

void DuiWidget::enterEvent(QEnterEvent* e) {
    CNotifyScope scope;
    if (m_owner && m_owner->IsClickable()) {
        m_owner->SetHotState(true);
        m_owner->OnHover(true);
        update();
    }
    QWidget::enterEvent(e);
}

void DuiWidget::leaveEvent(QEvent* e) {
    CNotifyScope scope;
    if (m_owner && m_owner->IsClickable()) {
        m_owner->SetHotState(false);
        m_owner->OnHover(false);
        update();
    }
    QWidget::leaveEvent(e);
}

void DuiWidget::mousePressEvent(QMouseEvent* e) {
    if (m_owner && m_owner->IsClickable() && m_owner->IsEnabled() && e->button() == Qt::LeftButton) {
        m_owner->SetPushedState(true);
        update();
        e->accept();
        return;
    }
    // Not ours: the parent (a list row, the window's caption) gets it.
    e->ignore();
}

void DuiWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    if (m_owner && m_owner->IsClickable()) {
        mousePressEvent(e);
        return;
    }
    e->ignore();
}

void DuiWidget::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_owner || !m_owner->IsClickable() || !m_owner->IsPushed() || e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    m_owner->SetPushedState(false);
    update();
    e->accept();
    if (rect().contains(e->position().toPoint()) && m_owner->IsEnabled()) {
        CNotifyScope scope;
        m_owner->OnClicked();
    }
}

// ---------------------------------------------------------------------------------------------
// CControlUI

CControlUI::CControlUI() {
    m_pWidget = new DuiWidget(this);
    m_pWidget->hide();
    m_pWidget->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

CControlUI::~CControlUI() {
    if (ManagerAlive())
        m_pManager->ReapObjects(this);
    if (DuiWidget* w = m_pWidget.data()) {
        w->Detach();
        w->hide();
        // Deferred: the widget may be inside its own event handler right now.
        w->setParent(nullptr);
        w->deleteLater();
    }
}

LPVOID CControlUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Control"))
        return this;
    return nullptr;
}

QWidget* CControlUI::GetWidget() const { return m_pWidget.data(); }
QWidget* CControlUI::GetChildHost() const { return m_pWidget.data(); }

void CControlUI::SetText(LPCTSTR pstrText) {
    m_sText = pstrText;
    Invalidate();
}

void CControlUI::SetToolTip(LPCTSTR pstrText) {
    m_sToolTip = pstrText;
    if (m_pWidget)
        m_pWidget->setToolTip(QString::fromStdWString(m_sToolTip));
}

void CControlUI::UpdateSizeConstraints() {
    QWidget* w = GetWidget();
    if (!w)
        return;
    if (m_cxyFixed.cx > 0)
        w->setFixedWidth(m_cxyFixed.cx);
    else {
        w->setMinimumWidth(m_cxyMin.cx);
        w->setMaximumWidth(m_cxyMax.cx >= 9999 ? QWIDGETSIZE_MAX : m_cxyMax.cx);
    }
    if (m_cxyFixed.cy > 0)
        w->setFixedHeight(m_cxyFixed.cy);
    else {
        w->setMinimumHeight(m_cxyMin.cy);
        w->setMaximumHeight(m_cxyMax.cy >= 9999 ? QWIDGETSIZE_MAX : m_cxyMax.cy);
    }
    w->setSizePolicy(m_cxyFixed.cx > 0 ? QSizePolicy::Fixed : QSizePolicy::Ignored,
                     m_cxyFixed.cy > 0 ? QSizePolicy::Fixed : QSizePolicy::Ignored);
    if (m_pParent) {
        if (auto* c = static_cast<CContainerUI*>(m_pParent->GetInterface(L"Container")))
            c->OnChildSizeChanged(this);
    }
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    UpdateSizeConstraints();
}
void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    UpdateSizeConstraints();
}
void CControlUI::SetMinWidth(int cx) { m_cxyMin.cx = std::max(cx, 0); UpdateSizeConstraints(); }
void CControlUI::SetMaxWidth(int cx) { m_cxyMax.cx = std::max(cx, 0); UpdateSizeConstraints(); }
void CControlUI::SetMinHeight(int cy) { m_cxyMin.cy = std::max(cy, 0); UpdateSizeConstraints(); }
void CControlUI::SetMaxHeight(int cy) { m_cxyMax.cy = std::max(cy, 0); UpdateSizeConstraints(); }

void CControlUI::SetPadding(RECT rc) {
    m_rcPadding = rc;
    if (m_pParent) {
        if (auto* c = static_cast<CContainerUI*>(m_pParent->GetInterface(L"Container")))
            c->OnChildSizeChanged(this);
    }
}

void CControlUI::ApplyParentedVisibility() {
    QWidget* w = GetWidget();
    // A widget without a parent would become a window of its own: it stays hidden until placed.
    if (w && w->parentWidget())
        w->setVisible(m_bVisible);
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible)
        return;
    m_bVisible = bVisible;
    ApplyParentedVisibility();
}

void CControlUI::SetInternVisible(bool bVisible) { m_bInternVisible = bVisible; }

void CControlUI::SetEnabled(bool bEnable) {
    m_bEnabled = bEnable;
    if (m_pWidget)
        m_pWidget->setEnabled(bEnable);
    Invalidate();
}

void CControlUI::SetFloat(bool bFloat) { m_bFloat = bFloat; }

bool CControlUI::IsFocused() const { return m_pWidget && m_pWidget->hasFocus(); }
void CControlUI::SetFocus() {
    if (m_pWidget) {
        m_pWidget->setFocusPolicy(Qt::StrongFocus);
        m_pWidget->setFocus();
    }
}

RECT CControlUI::GetPos() const {
    QWidget* w = GetWidget();
    if (!w)
        return RECT{0, 0, 0, 0};
    QPoint tl = w->parentWidget() ? w->mapTo(w->window(), QPoint(0, 0)) : w->pos();
    return RECT{tl.x(), tl.y(), tl.x() + w->width(), tl.y() + w->height()};
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    QWidget* w = GetWidget();
    if (!w)
        return;
    QPoint tl(rc.left, rc.top);
    if (QWidget* p = w->parentWidget())
        tl = p->mapFrom(w->window(), tl);
    w->setGeometry(tl.x(), tl.y(), std::max<LONG>(rc.right - rc.left, 0), std::max<LONG>(rc.bottom - rc.top, 0));
    if (bNeedInvalidate)
        Invalidate();
}

void CControlUI::SetBkImage(LPCTSTR pStrImage) {
    m_sBkImage = pStrImage;
    Invalidate();
}
void CControlUI::SetBkColor(DWORD dwBackColor) {
    m_dwBackColor = dwBackColor;
    Invalidate();
}
void CControlUI::SetBorderColor(DWORD dwColor) {
    m_dwBorderColor = dwColor;
    Invalidate();
}
void CControlUI::SetBorderSize(int n) {
    m_nBorderSize = std::max(n, 0);
    Invalidate();
}

void CControlUI::Invalidate() {
    if (m_pWidget)
        m_pWidget->update();
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_managerAlive = pManager ? pManager->AliveToken() : std::weak_ptr<bool>();
    m_pParent = pParent;
    if (bInit && pManager && !m_bInitDone) {
        m_bInitDone = true;
        DoInit();
    }
}

void CControlUI::DetachFromWindow() {
    m_pParent = nullptr;
    if (QWidget* w = GetWidget()) {
        w->hide();
        w->setParent(nullptr);
    }
    ForEach([](CControlUI* c) {
        if (c->ManagerAlive())
            c->m_pManager->ReapObjects(c);
        c->m_pManager = nullptr;
        c->m_managerAlive.reset();
        return true;
    });
}

bool CControlUI::ForEach(const std::function<bool(CControlUI*)>& fn) { return fn(this); }

void CControlUI::DoPaint(HDC hDC) {
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
    if (m_dwBackColor >> 24)
        hDC->fillRect(m_pWidget->rect(), ToQColor(m_dwBackColor));
}

void CControlUI::PaintBkImage(HDC hDC) {
    if (!m_sBkImage.empty())
        DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintBorder(HDC hDC) {
    if (m_nBorderSize > 0 && (m_dwBorderColor >> 24)) {
        QPen pen(ToQColor(m_dwBorderColor));
        pen.setWidth(m_nBorderSize);
        hDC->setPen(pen);
        hDC->setBrush(Qt::NoBrush);
        int h = m_nBorderSize / 2;
        hDC->drawRect(m_pWidget->rect().adjusted(h, h, -h - (m_nBorderSize % 2 ? 1 : 0), -h - (m_nBorderSize % 2 ? 1 : 0)));
    }
}

bool CControlUI::DrawImage(HDC hDC, const CDuiString& image) {
    ImageDescription d;
    if (!m_pWidget || !ParseImageDescription(image, d))
        return false;
    CDuiString path = CPaintManagerUI::FindResourceFile(d.file.c_str());
    if (path.empty())
        return false;
    QPixmap pm = CPaintManagerUI::GetImage(path);
    if (pm.isNull())
        return false;
    QRect target = d.hasDest ? QRect(d.dest.left, d.dest.top, d.dest.right - d.dest.left, d.dest.bottom - d.dest.top)
                             : m_pWidget->rect();
    QRect from = d.hasSource
                     ? QRect(d.source.left, d.source.top, d.source.right - d.source.left, d.source.bottom - d.source.top)
                     : pm.rect();
    hDC->save();
    hDC->setOpacity(std::clamp(d.fade, 0, 255) / 255.0);
    hDC->drawPixmap(target, pm, from);
    hDC->restore();
    return true;
}

} // namespace DuiLib
