// Pop-up menus.
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include "uimenu.h"
#include "uiwidget_p.h"
#include "uiwindow_p.h"

namespace DuiLib {

CMenuUI::CMenuUI() {
    m_dwBackColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFD0D0D0;
    m_nBorderSize = 1;
}

LPVOID CMenuUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Menu"))
        return this;
    return CListUI::GetInterface(pstrName);
}

CMenuElementUI::CMenuElementUI() { m_cxyFixed.cy = 0; }

LPVOID CMenuElementUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"MenuElement"))
        return this;
    return CListContainerElementUI::GetInterface(pstrName);
}

void CMenuElementUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring n = pstrName ? pstrName : L"";
    if (n == L"textcolor")
        m_dwTextColor = ParseColor(pstrValue);
    else if (n == L"font")
        m_iFont = static_cast<int>(wcstol(pstrValue, nullptr, 10));
    else if (n == L"textpadding")
        m_rcTextPadding = ParseRect(pstrValue);
    else if (n == L"hotbkcolor")
        m_dwHotBkColor = ParseColor(pstrValue);
    else
        CListContainerElementUI::SetAttribute(pstrName, pstrValue);
}

void CMenuElementUI::PaintBkColor(HDC hDC) {
    DWORD c = (m_bHot && (m_dwHotBkColor >> 24)) ? m_dwHotBkColor : m_dwBackColor;
    if (c >> 24)
        hDC->fillRect(m_pWidget->rect(), ToQColor(c));
}

void CMenuElementUI::PaintText(HDC hDC) {
    if (m_sText.empty())
        return;
    QRect r = m_pWidget->rect().adjusted(m_rcTextPadding.left, m_rcTextPadding.top, -m_rcTextPadding.right,
                                         -m_rcTextPadding.bottom);
    if (m_pManager)
        hDC->setFont(m_pManager->GetFont(m_iFont));
    hDC->setPen(ToQColor(IsEnabled() ? m_dwTextColor : 0xFFA7A6AA));
    hDC->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdWString(m_sText));
}

void CMenuElementUI::OnClicked() {
    if (!IsEnabled() || !m_pManager)
        return;
    auto* host = static_cast<QWidget*>(platform::WidgetFromHandle(m_pManager->GetPaintWindow()));
    auto* dh = dynamic_cast<DuiHostWidget*>(host);
    if (auto* menu = dh ? dynamic_cast<CMenuWnd*>(dh->Owner()) : nullptr)
        menu->ItemChosen(this);
}

// ---------------------------------------------------------------------------------------------

CMenuWnd::CMenuWnd() = default;
CMenuWnd::~CMenuWnd() = default;

void CMenuWnd::Init(CMenuElementUI*, STRINGorID xml, POINT point, CPaintManagerUI* pMainPaintManager,
                    std::map<CDuiString, bool>* pMenuCheckInfo, DWORD dwAlignment) {
    m_xml = xml.m_lpstr;
    m_point = point;
    m_dwAlignment = dwAlignment;
    m_pCheckInfo = pMenuCheckInfo;
    m_hMainWnd = pMainPaintManager ? pMainPaintManager->GetPaintWindow() : nullptr;
    if (!Create(nullptr, L"", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST))
        return;
    // A pop-up closes itself when the user clicks elsewhere.
    QPoint pos = m_pHost->pos();
    m_pHost->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    m_pHost->move(pos);
    ShowWindow(true, true);
}

CMenuUI* CMenuWnd::GetMenuUI() {
    CControlUI* root = m_PaintManager.GetRoot();
    if (!root)
        return nullptr;
    if (auto* m = static_cast<CMenuUI*>(root->GetInterface(L"Menu")))
        return m;
    return static_cast<CMenuUI*>(m_PaintManager.FindSubControlByClass(root, L"Menu"));
}

void CMenuWnd::InitWindow() {
    CMenuUI* menu = GetMenuUI();
    int w = 0, h = 0;
    if (menu) {
        w = menu->GetFixedWidth();
        for (int i = 0; i < menu->GetCount(); ++i) {
            CControlUI* item = menu->GetItemAt(i);
            if (!item->IsVisible())
                continue;
            if (item->GetFixedHeight() == 0)
                item->SetFixedHeight(30);
            h += item->GetFixedHeight();
        }
        RECT inset = menu->GetInset();
        h += inset.top + inset.bottom + 2;
    }
    SIZE init = m_PaintManager.GetInitSize();
    if (init.cx > 0)
        w = init.cx;
    if (init.cy > 0)
        h = init.cy;
    if (w <= 0)
        w = 160;
    if (h <= 0)
        h = 32;
    ResizeClient(w, h);

    int x = m_point.x, y = m_point.y;
    if (m_dwAlignment & eMenuAlignment_Right)
        x = m_point.x - w;
    if (m_dwAlignment & eMenuAlignment_Bottom)
        y = m_point.y - h;
    QScreen* s = QGuiApplication::screenAt(QPoint(m_point.x, m_point.y));
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (s) {
        QRect work = s->availableGeometry();
        x = std::max(work.left(), std::min(x, work.right() + 1 - w));
        y = std::max(work.top(), std::min(y, work.bottom() + 1 - h));
    }
    m_pHost->move(x, y);
}

void CMenuWnd::ItemChosen(CMenuElementUI* pItem) {
    CDuiString name = pItem->GetName();
    if (m_pCheckInfo) {
        auto it = m_pCheckInfo->find(name);
        if (it != m_pCheckInfo->end())
            it->second = !it->second;
    }
    if (m_hMainWnd) {
        auto* heapName = new CDuiString(name);
        if (!platform::PostMessage(m_hMainWnd, WM_MENUCLICK, reinterpret_cast<WPARAM>(heapName), 0))
            CPaintManagerUI::DeletePtr(heapName);
    }
    Close(IDOK);
}

LRESULT CMenuWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_KEYDOWN && wParam == 0x1B) {
        Close(IDCANCEL);
        return 0;
    }
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

} // namespace DuiLib
