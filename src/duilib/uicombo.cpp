// The combo box and its drop-down.
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>

#include "uicontrols.h"
#include "uilifetime.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

namespace {

constexpr int kDefaultRowHeight = 24;

// The open drop-down: a popup that reads the combo's rows each time it paints or is clicked, so
// rows added or removed while it is open are never reached through a stale pointer.
class ComboDropDown : public QWidget {
public:
    explicit ComboDropDown(CComboUI* owner) : QWidget(nullptr, Qt::Popup), m_owner(owner) {
        setAttribute(Qt::WA_DeleteOnClose, true);
        setMouseTracking(true);
        m_hot = owner->GetCurSel();
    }
    // The combo is going away.
    void Forget() {
        m_owner = nullptr;
        close();
    }
    // Size and place below the combo for its current rows.
    void Refresh() {
        if (!m_owner || !m_owner->GetWidget())
            return;
        int h = 2;
        for (int i = 0; i < m_owner->GetCount(); ++i)
            h += RowHeight(i);
        QWidget* anchor = m_owner->GetWidget();
        QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
        QRect r(below, QSize(anchor->width(), h));
        if (QScreen* s = anchor->screen()) {
            QRect work = s->availableGeometry();
            if (r.bottom() > work.bottom())
                r.moveBottom(anchor->mapToGlobal(QPoint(0, 0)).y() - 1);
            r.setHeight(std::min(r.height(), work.height()));
        }
        setGeometry(r);
        if (m_hot >= m_owner->GetCount())
            m_hot = -1;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(255, 255, 255));
        p.setPen(ToQColor(0xFFC8C8C8));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        if (!m_owner)
            return;
        for (int i = 0; i < m_owner->GetCount(); ++i)
            PaintRow(p, i);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        int i = RowAt(e->position().toPoint().y());
        if (i != m_hot) {
            m_hot = i;
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || !rect().contains(e->position().toPoint()))
            return;
        Choose(RowAt(e->position().toPoint().y()));
    }
    void keyPressEvent(QKeyEvent* e) override {
        int count = m_owner ? m_owner->GetCount() : 0;
        switch (e->key()) {
        case Qt::Key_Escape: close(); return;
        case Qt::Key_Down: m_hot = std::min(m_hot + 1, count - 1); update(); return;
        case Qt::Key_Up: m_hot = std::max(m_hot - 1, 0); update(); return;
        case Qt::Key_Return:
        case Qt::Key_Enter: Choose(m_hot); return;
        default: QWidget::keyPressEvent(e);
        }
    }

private:
    int RowHeight(int i) const {
        CControlUI* c = m_owner ? m_owner->GetItemAt(i) : nullptr;
        return c && c->GetFixedHeight() > 0 ? c->GetFixedHeight() : kDefaultRowHeight;
    }
    QRect RowRect(int i) const {
        int y = 1;
        for (int k = 0; k < i; ++k)
            y += RowHeight(k);
        return QRect(1, y, width() - 2, RowHeight(i));
    }
    int RowAt(int y) const {
        if (!m_owner)
            return -1;
        for (int i = 0; i < m_owner->GetCount(); ++i)
            if (RowRect(i).contains(QPoint(1, y)))
                return i;
        return -1;
    }
    void PaintRow(QPainter& p, int i) {
        CControlUI* item = m_owner->GetItemAt(i);
        auto* label = static_cast<CLabelUI*>(item->GetInterface(L"Label"));
        bool selected = i == m_owner->GetCurSel(), hot = i == m_hot;
        QRect r = RowRect(i);
        DWORD bk = selected ? m_owner->GetItemSelectedBkColor() : hot ? m_owner->GetItemHotBkColor() : 0;
        if (!(bk >> 24))
            bk = item->GetBkColor() >> 24 ? item->GetBkColor() : m_owner->GetItemBkColor();
        if (bk >> 24)
            p.fillRect(r, ToQColor(bk));
        DWORD color = label ? label->GetTextColor() : 0xFF000000;
        if (m_owner->GetItemTextColor() >> 24 && color == 0xFF000000)
            color = m_owner->GetItemTextColor();
        if (selected && (m_owner->GetItemSelectedTextColor() >> 24))
            color = m_owner->GetItemSelectedTextColor();
        else if (hot && (m_owner->GetItemHotTextColor() >> 24))
            color = m_owner->GetItemHotTextColor();
        int font = label && label->GetFont() >= 0 ? label->GetFont() : m_owner->GetItemFont();
        if (CPaintManagerUI* pm = m_owner->GetManager())
            p.setFont(pm->GetFont(font));
        RECT pad = label ? label->GetTextPadding() : RECT{6, 0, 6, 0};
        if (pad.left == 0 && pad.right == 0)
            pad.left = pad.right = 6;
        QRect tr = r.adjusted(pad.left, pad.top, -pad.right, -pad.bottom);
        p.setPen(ToQColor(color));
        p.drawText(tr, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(QString::fromStdWString(item->GetText()), Qt::ElideRight, tr.width()));
    }
    void Choose(int i) {
        CComboUI* owner = m_owner;
        close();
        if (!owner || i < 0 || i >= owner->GetCount())
            return;
        CNotifyScope scope;
        owner->SelectItem(i, true);
    }

    CComboUI* m_owner;
    int m_hot = -1;
};

} // namespace

CComboUI::CComboUI() {
    m_pScroll->hide();
    m_dwBackColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFC8C8C8;
    m_nBorderSize = 1;
}

CComboUI::~CComboUI() {
    if (auto* d = static_cast<ComboDropDown*>(m_pDropDown.data()))
        d->Forget();
}

LPVOID CComboUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Combo"))
        return this;
    return CListUI::GetInterface(pstrName);
}

void CComboUI::InsertWidget(CControlUI* pControl, int) {
    // Rows live in the drop-down only.
    if (QWidget* w = pControl->GetWidget())
        w->hide();
}

bool CComboUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CListUI::AddAt(pControl, iIndex))
        return false;
    RefreshDropDown();
    return true;
}

bool CComboUI::RemoveAt(int iIndex) {
    if (!CListUI::RemoveAt(iIndex))
        return false;
    RefreshDropDown();
    Invalidate();
    return true;
}

QWidget* CComboUI::GetDropDown() const { return static_cast<ComboDropDown*>(m_pDropDown.data()); }

void CComboUI::RefreshDropDown() {
    if (auto* d = static_cast<ComboDropDown*>(m_pDropDown.data()))
        d->Refresh();
}

CDuiString CComboUI::GetText() const {
    CControlUI* c = GetItemAt(m_iCurSel);
    return c ? c->GetText() : CDuiString();
}

void CComboUI::PaintText(HDC hDC) {
    CDuiString t = GetText();
    if (t.empty())
        return;
    QRect r = m_pWidget->rect().adjusted(m_rcTextPadding.left, m_rcTextPadding.top, -m_rcTextPadding.right,
                                         -m_rcTextPadding.bottom);
    if (m_pManager)
        hDC->setFont(m_pManager->GetFont(-1));
    hDC->setPen(ToQColor(IsEnabled() ? m_dwTextColor : 0xFFA7A6AA));
    hDC->drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                  hDC->fontMetrics().elidedText(QString::fromStdWString(t), Qt::ElideRight, r.width()));
}

void CComboUI::PaintStatusImage(HDC hDC) {
    if (!m_sNormalImage.empty())
        DrawImage(hDC, m_sNormalImage);
    if (!m_sArrowImage.empty() && DrawImage(hDC, m_sArrowImage))
        return;
    QRect r = m_pWidget->rect();
    int cx = r.right() - 10, cy = r.center().y();
    QPainterPath tri;
    tri.moveTo(cx - 4, cy - 2);
    tri.lineTo(cx + 4, cy - 2);
    tri.lineTo(cx, cy + 3);
    tri.closeSubpath();
    hDC->fillPath(tri, ToQColor(IsEnabled() ? 0xFF666666 : 0xFFBBBBBB));
}

void CComboUI::OnClicked() {
    if (!IsEnabled() || GetCount() == 0 || m_pDropDown)
        return;
    auto* d = new ComboDropDown(this);
    m_pDropDown = d;
    d->Refresh();
    d->show();
    d->setFocus();
}

bool CComboUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent) {
    CNotifyScope scope;
    bool r = CListUI::SelectItem(iIndex, bTakeFocus, bTriggerEvent);
    Invalidate();
    return r;
}

} // namespace DuiLib
