// Containers: plain (children stacked over each other), vertical and horizontal layouts, tab
// layout, lists with their rows.
#include <QBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QStackedLayout>
#include <QWidgetItem>

#include "uicontrols.h"
#include "uilifetime.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

namespace {

// A layout item that keeps the control's padding around its widget.
class PaddedItem : public QWidgetItem {
public:
    PaddedItem(QWidget* w, RECT pad) : QWidgetItem(w), m_pad(pad) {}
    void SetPadding(RECT pad) { m_pad = pad; }
    QSize Extra() const { return QSize(m_pad.left + m_pad.right, m_pad.top + m_pad.bottom); }
    QSize sizeHint() const override { return QWidgetItem::sizeHint() + Extra(); }
    QSize minimumSize() const override { return QWidgetItem::minimumSize() + Extra(); }
    QSize maximumSize() const override {
        QSize m = QWidgetItem::maximumSize();
        QSize e = Extra();
        return QSize(std::min<long>(static_cast<long>(m.width()) + e.width(), QWIDGETSIZE_MAX),
                     std::min<long>(static_cast<long>(m.height()) + e.height(), QWIDGETSIZE_MAX));
    }
    // Top-left inside the cell, as large as the widget may be: a control narrower or shorter
    // than its cell sits at the cell's start.
    void setGeometry(const QRect& r) override {
        QRect inner = r.adjusted(m_pad.left, m_pad.top, -m_pad.right, -m_pad.bottom);
        QWidget* w = widget();
        if (!w || isEmpty())
            return;
        QSize s = inner.size().boundedTo(w->maximumSize()).expandedTo(w->minimumSize());
        w->setGeometry(QRect(inner.topLeft(), s));
    }

private:
    RECT m_pad;
};

bool IsHorizontal(QLayout* l) {
    auto* box = qobject_cast<QBoxLayout*>(l);
    return box && (box->direction() == QBoxLayout::LeftToRight || box->direction() == QBoxLayout::RightToLeft);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CContainerUI

CContainerUI::CContainerUI() {
    auto* stack = new QStackedLayout(m_pWidget);
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->setContentsMargins(0, 0, 0, 0);
    m_pLayout = stack;
}

CContainerUI::~CContainerUI() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* c : items)
        delete c;
}

QLayout* CContainerUI::CreateLayout() { return m_pLayout; }

LPVOID CContainerUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Container") || EqualNoCase(pstrName, L"IContainer"))
        return this;
    return CControlUI::GetInterface(pstrName);
}

void CContainerUI::SetInset(RECT rc) {
    m_rcInset = rc;
    if (m_pLayout)
        m_pLayout->setContentsMargins(rc.left, rc.top, rc.right, rc.bottom);
}

void CContainerUI::SetChildPadding(int n) {
    m_iChildPadding = n;
    if (m_pLayout)
        m_pLayout->setSpacing(n);
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CControlUI::SetManager(pManager, pParent, bInit);
    for (CControlUI* c : m_items)
        c->SetManager(pManager, this, bInit);
}

bool CContainerUI::ForEach(const std::function<bool(CControlUI*)>& fn) {
    if (!fn(this))
        return false;
    // Copy: a callback may change the tree.
    std::vector<CControlUI*> items = m_items;
    for (CControlUI* c : items)
        if (!c->ForEach(fn))
            return false;
    return true;
}

void CContainerUI::SetVisible(bool bVisible) {
    CControlUI::SetVisible(bVisible);
    for (CControlUI* c : m_items)
        c->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    for (CControlUI* c : m_items)
        c->SetInternVisible(IsVisible());
}

CControlUI* CContainerUI::GetItemAt(int iIndex) const {
    if (iIndex < 0 || iIndex >= static_cast<int>(m_items.size()))
        return nullptr;
    return m_items[static_cast<size_t>(iIndex)];
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == pControl)
            return static_cast<int>(i);
    return -1;
}

bool CContainerUI::Add(CControlUI* pControl) { return AddAt(pControl, static_cast<int>(m_items.size())); }

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!pControl || pControl == this || GetItemIndex(pControl) >= 0)
        return false;
    if (iIndex < 0 || iIndex > static_cast<int>(m_items.size()))
        return false;
    m_items.insert(m_items.begin() + iIndex, pControl);
    pControl->SetParentInternal(this);
    InsertWidget(pControl, iIndex);
    pControl->SetInternVisible(IsVisible());
    if (m_pManager)
        m_pManager->InitControls(pControl, this);
    return true;
}

void CContainerUI::InsertWidget(CControlUI* pControl, int index) {
    QWidget* w = pControl->GetWidget();
    QWidget* host = GetChildHost();
    if (!w || !host)
        return;
    w->setParent(host);
    if (pControl->IsFloat()) {
        RECT p = pControl->GetFloatPos();
        w->setGeometry(p.left, p.top, std::max<LONG>(p.right - p.left, 0), std::max<LONG>(p.bottom - p.top, 0));
        w->raise();
    } else {
        // Position among the laid-out (non-floating) children.
        int li = 0;
        for (int i = 0; i < index; ++i)
            if (!m_items[static_cast<size_t>(i)]->IsFloat())
                ++li;
        if (auto* box = qobject_cast<QBoxLayout*>(m_pLayout)) {
            auto* item = new PaddedItem(w, pControl->GetPadding());
            box->insertItem(li, item);
            RefreshLayoutItem(pControl);
        } else if (auto* stack = qobject_cast<QStackedLayout*>(m_pLayout)) {
            stack->insertWidget(li, w);
        }
    }
    pControl->ApplyParentedVisibility();
}

void CContainerUI::RefreshLayoutItem(CControlUI* pControl) {
    auto* box = qobject_cast<QBoxLayout*>(m_pLayout);
    QWidget* w = pControl->GetWidget();
    if (!box || !w)
        return;
    for (int i = 0; i < box->count(); ++i) {
        QLayoutItem* it = box->itemAt(i);
        if (it->widget() == w) {
            static_cast<PaddedItem*>(it)->SetPadding(pControl->GetPadding());
            bool fixedMain = IsHorizontal(box) ? pControl->GetFixedWidth() > 0 : pControl->GetFixedHeight() > 0;
            box->setStretch(i, fixedMain ? 0 : 1);
            box->invalidate();
            return;
        }
    }
}

void CContainerUI::OnChildSizeChanged(CControlUI* pControl) { RefreshLayoutItem(pControl); }

bool CContainerUI::Remove(CControlUI* pControl) {
    int i = GetItemIndex(pControl);
    return i >= 0 && RemoveAt(i);
}

bool CContainerUI::RemoveAt(int iIndex) {
    CControlUI* c = GetItemAt(iIndex);
    if (!c)
        return false;
    m_items.erase(m_items.begin() + iIndex);
    if (m_bAutoDestroy) {
        ReleaseControl(c);
    } else {
        c->SetParentInternal(nullptr);
        if (QWidget* w = c->GetWidget()) {
            w->hide();
            w->setParent(nullptr);
        }
    }
    return true;
}

void CContainerUI::RemoveAll() {
    while (!m_items.empty())
        RemoveAt(static_cast<int>(m_items.size()) - 1);
}

// ---------------------------------------------------------------------------------------------
// Vertical / horizontal / tab layouts

CVerticalLayoutUI::CVerticalLayoutUI() {
    delete m_pLayout;
    auto* box = new QVBoxLayout(m_pWidget);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    m_pLayout = box;
}

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"VerticalLayout"))
        return this;
    return CContainerUI::GetInterface(pstrName);
}

CHorizontalLayoutUI::CHorizontalLayoutUI() {
    delete m_pLayout;
    auto* box = new QHBoxLayout(m_pWidget);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    m_pLayout = box;
}

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"HorizontalLayout"))
        return this;
    return CContainerUI::GetInterface(pstrName);
}

CTabLayoutUI::CTabLayoutUI() {}

LPVOID CTabLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"TabLayout"))
        return this;
    return CContainerUI::GetInterface(pstrName);
}

void CTabLayoutUI::ApplySelection() {
    for (size_t i = 0; i < m_items.size(); ++i) {
        CControlUI* page = m_items[i];
        bool current = static_cast<int>(i) == m_iCurSel;
        // A page's descendants learn it too: native child windows are not hidden by Qt.
        page->SetInternVisible(current && IsVisible());
        if (QWidget* w = page->GetWidget())
            if (w->parentWidget())
                w->setVisible(current);
    }
}

void CTabLayoutUI::SetVisible(bool bVisible) {
    CContainerUI::SetVisible(bVisible);
    ApplySelection();
}

void CTabLayoutUI::SetInternVisible(bool bVisible) {
    CContainerUI::SetInternVisible(bVisible);
    ApplySelection();
}

bool CTabLayoutUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CContainerUI::AddAt(pControl, iIndex))
        return false;
    if (m_iCurSel < 0)
        m_iCurSel = 0;
    else if (iIndex <= m_iCurSel)
        ++m_iCurSel;
    if (m_iPendingSel >= 0 && m_iPendingSel < GetCount()) {
        m_iCurSel = m_iPendingSel;
        m_iPendingSel = -1;
    }
    ApplySelection();
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* pControl) {
    int i = GetItemIndex(pControl);
    if (i < 0 || !CContainerUI::RemoveAt(i))
        return false;
    if (m_iCurSel >= GetCount())
        m_iCurSel = GetCount() - 1;
    else if (i < m_iCurSel)
        --m_iCurSel;
    ApplySelection();
    return true;
}

void CTabLayoutUI::RemoveAll() {
    CContainerUI::RemoveAll();
    m_iCurSel = -1;
}

bool CTabLayoutUI::SelectItem(int iIndex) {
    if (iIndex < 0 || iIndex >= GetCount())
        return false;
    m_iCurSel = iIndex;
    ApplySelection();
    return true;
}

// ---------------------------------------------------------------------------------------------
// List rows

static void PaintRowBk(HDC hDC, QWidget* w, CControlUI* owner, bool selected, bool hot, DWORD own) {
    auto* list = owner ? static_cast<CListUI*>(owner->GetInterface(L"List")) : nullptr;
    DWORD c = own;
    if (list) {
        if (selected && (list->GetItemSelectedBkColor() >> 24))
            c = list->GetItemSelectedBkColor();
        else if (hot && (list->GetItemHotBkColor() >> 24))
            c = list->GetItemHotBkColor();
        else if (!(c >> 24))
            c = list->GetItemBkColor();
    }
    if (c >> 24)
        hDC->fillRect(w->rect(), ToQColor(c));
}

LPVOID CListContainerElementUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"ListItem") || EqualNoCase(pstrName, L"ListContainerElement"))
        return this;
    return CContainerUI::GetInterface(pstrName);
}

int CListContainerElementUI::GetIndex() const {
    auto* list = m_pOwnerList ? static_cast<CListUI*>(m_pOwnerList->GetInterface(L"List")) : nullptr;
    return list ? list->GetItemIndex(const_cast<CListContainerElementUI*>(this)) : -1;
}

void CListContainerElementUI::OnClicked() {
    if (!IsEnabled())
        return;
    if (auto* list = m_pOwnerList ? static_cast<CListUI*>(m_pOwnerList->GetInterface(L"List")) : nullptr)
        list->SelectItem(GetIndex(), true);
}

void CListContainerElementUI::PaintBkColor(HDC hDC) {
    PaintRowBk(hDC, m_pWidget, m_pOwnerList, m_bSelected, m_bHot, m_dwBackColor);
}

LPVOID CListLabelElementUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"ListItem") || EqualNoCase(pstrName, L"ListLabelElement"))
        return this;
    return CLabelUI::GetInterface(pstrName);
}

int CListLabelElementUI::GetIndex() const {
    auto* list = m_pOwnerList ? static_cast<CListUI*>(m_pOwnerList->GetInterface(L"List")) : nullptr;
    return list ? list->GetItemIndex(const_cast<CListLabelElementUI*>(this)) : -1;
}

void CListLabelElementUI::OnClicked() {
    if (!IsEnabled())
        return;
    if (auto* list = m_pOwnerList ? static_cast<CListUI*>(m_pOwnerList->GetInterface(L"List")) : nullptr)
        list->SelectItem(GetIndex(), true);
}

void CListLabelElementUI::PaintBkColor(HDC hDC) {
    PaintRowBk(hDC, m_pWidget, m_pOwnerList, m_bSelected, m_bHot, m_dwBackColor);
}

// ---------------------------------------------------------------------------------------------
// CListUI

CListUI::CListUI() {
    delete m_pLayout;
    auto* outer = new QVBoxLayout(m_pWidget);
    outer->setContentsMargins(0, 0, 0, 0);
    m_pScroll = new QScrollArea(m_pWidget);
    m_pScroll->setFrameShape(QFrame::NoFrame);
    m_pScroll->setWidgetResizable(true);
    m_pScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pScroll->setStyleSheet(QStringLiteral("QScrollArea{background:transparent;}"));
    m_pScroll->viewport()->setAutoFillBackground(false);
    m_pContent = new QWidget;
    m_pContent->setAutoFillBackground(false);
    auto* box = new QVBoxLayout(m_pContent);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addStretch(1);
    m_pScroll->setWidget(m_pContent);
    outer->addWidget(m_pScroll);
    m_pLayout = box;
}

LPVOID CListUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"List"))
        return this;
    return CVerticalLayoutUI::GetInterface(pstrName);
}

QWidget* CListUI::GetChildHost() const { return m_pContent; }

void CListUI::InsertWidget(CControlUI* pControl, int index) {
    CVerticalLayoutUI::InsertWidget(pControl, index);
    // A row without a height of its own still needs one inside a scrolled list.
    if (pControl->GetFixedHeight() == 0 && pControl->GetWidget())
        pControl->GetWidget()->setMinimumHeight(24);
}

bool CListUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CListUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CVerticalLayoutUI::AddAt(pControl, iIndex))
        return false;
    pControl->SetOwnerList(this);
    if (m_iCurSel >= iIndex && m_iCurSel >= 0)
        ++m_iCurSel;
    return true;
}

bool CListUI::Remove(CControlUI* pControl) {
    int i = GetItemIndex(pControl);
    return i >= 0 && RemoveAt(i);
}

bool CListUI::RemoveAt(int iIndex) {
    if (!CVerticalLayoutUI::RemoveAt(iIndex))
        return false;
    if (iIndex == m_iCurSel)
        m_iCurSel = -1;
    else if (iIndex < m_iCurSel)
        --m_iCurSel;
    return true;
}

void CListUI::RemoveAll() {
    m_iCurSel = -1;
    CVerticalLayoutUI::RemoveAll();
}

void CListUI::SetItemSelected(CControlUI* item, bool selected) {
    if (!item)
        return;
    if (auto* e = static_cast<CListContainerElementUI*>(item->GetInterface(L"ListContainerElement")))
        e->Select(selected);
    else if (auto* l = static_cast<CListLabelElementUI*>(item->GetInterface(L"ListLabelElement")))
        l->Select(selected);
}

bool CListUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent) {
    if (iIndex == m_iCurSel)
        return true;
    int old = m_iCurSel;
    SetItemSelected(GetItemAt(old), false);
    if (iIndex < 0 || iIndex >= GetCount()) {
        m_iCurSel = -1;
        return false;
    }
    m_iCurSel = iIndex;
    CControlUI* item = GetItemAt(iIndex);
    SetItemSelected(item, true);
    if (QWidget* w = item->GetWidget())
        if (m_pScroll && w->parentWidget() == m_pContent)
            m_pScroll->ensureWidgetVisible(w, 0, 0);
    if (bTakeFocus)
        SetFocus();
    if (bTriggerEvent && m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(iIndex), old);
    return true;
}

} // namespace DuiLib
