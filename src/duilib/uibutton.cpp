// Buttons, options (grouped or alone) and check boxes.
#include <QPainter>

#include "uicontrols.h"
#include "uilifetime.h"
#include "uimanager.h"
#include "uiwidget_p.h"

namespace DuiLib {

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

LPVOID CButtonUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Button"))
        return this;
    return CLabelUI::GetInterface(pstrName);
}

void CButtonUI::PaintBkColor(HDC hDC) {
    DWORD c = m_dwBackColor;
    if (IsEnabled() && m_bPushed && (m_dwPushedBkColor >> 24))
        c = m_dwPushedBkColor;
    else if (IsEnabled() && (m_bHot || m_bPushed) && (m_dwHotBkColor >> 24))
        c = m_dwHotBkColor;
    if (c >> 24)
        hDC->fillRect(m_pWidget->rect(), ToQColor(c));
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    if (!IsEnabled() && !m_sDisabledImage.empty() && DrawImage(hDC, m_sDisabledImage))
        return;
    if (m_bPushed && !m_sPushedImage.empty() && DrawImage(hDC, m_sPushedImage))
        return;
    if (m_bHot && !m_sHotImage.empty() && DrawImage(hDC, m_sHotImage))
        return;
    if (!m_sNormalImage.empty())
        DrawImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintText(HDC hDC) {
    DWORD color = !IsEnabled() ? m_dwDisabledTextColor : (m_bHot && (m_dwHotTextColor >> 24)) ? m_dwHotTextColor : m_dwTextColor;
    DrawControlText(hDC, m_pWidget, m_pManager, m_sText, color, m_iFont, m_uTextStyle, m_rcTextPadding);
}

void CButtonUI::OnClicked() { Activate(); }

bool CButtonUI::Activate() {
    if (!IsEnabled() || !IsVisible())
        return false;
    if (m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

// ---------------------------------------------------------------------------------------------
// COptionUI / CCheckBoxUI

COptionUI::~COptionUI() {
    if (ManagerAlive() && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName.c_str(), this);
}

LPVOID COptionUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"Option"))
        return this;
    return CButtonUI::GetInterface(pstrName);
}

LPVOID CCheckBoxUI::GetInterface(LPCTSTR pstrName) {
    if (EqualNoCase(pstrName, L"CheckBox"))
        return this;
    return COptionUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CButtonUI::SetManager(pManager, pParent, bInit);
    if (pManager && !m_sGroupName.empty())
        pManager->AddOptionGroup(m_sGroupName.c_str(), this);
}

void COptionUI::SetGroup(LPCTSTR pStrGroupName) {
    CDuiString group = pStrGroupName;
    if (group == m_sGroupName)
        return;
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->RemoveOptionGroup(m_sGroupName.c_str(), this);
    m_sGroupName = group;
    if (m_pManager && !m_sGroupName.empty())
        m_pManager->AddOptionGroup(m_sGroupName.c_str(), this);
    Selected(m_bSelected, false);
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
    if (m_bSelected == bSelected)
        return;
    CNotifyScope scope;
    m_bSelected = bSelected;
    Invalidate();
    std::vector<COptionUI*> others;
    if (m_bSelected && m_pManager && !m_sGroupName.empty()) {
        if (const auto* group = m_pManager->GetOptionGroup(m_sGroupName.c_str()))
            for (CControlUI* c : *group)
                if (c != this)
                    others.push_back(static_cast<COptionUI*>(c));
    }
    if (bTriggerEvent && m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
    // The handler may have rebuilt the group: options it released have no manager any more.
    for (COptionUI* o : others)
        if (o->m_pManager)
            o->Selected(false, bTriggerEvent);
}

bool COptionUI::Activate() {
    CNotifyScope scope;
    if (!CButtonUI::Activate())
        return false;
    if (!m_sGroupName.empty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

void COptionUI::PaintBkColor(HDC hDC) {
    if (m_bSelected && (m_dwSelectedBkColor >> 24))
        hDC->fillRect(m_pWidget->rect(), ToQColor(m_dwSelectedBkColor));
    else
        CButtonUI::PaintBkColor(hDC);
}

void COptionUI::PaintText(HDC hDC) {
    if (m_bSelected && IsEnabled() && (m_dwSelectedTextColor >> 24))
        DrawControlText(hDC, m_pWidget, m_pManager, m_sText, m_dwSelectedTextColor, m_iFont, m_uTextStyle, m_rcTextPadding);
    else
        CButtonUI::PaintText(hDC);
}

void COptionUI::PaintStatusImage(HDC hDC) {
    if (m_bSelected) {
        if (m_bHot && !m_sSelectedHotImage.empty() && DrawImage(hDC, m_sSelectedHotImage))
            return;
        if (!m_sSelectedImage.empty() && DrawImage(hDC, m_sSelectedImage))
            return;
    }
    CButtonUI::PaintStatusImage(hDC);
}

} // namespace DuiLib
