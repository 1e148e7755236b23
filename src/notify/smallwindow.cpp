#include "smallwindow.h"

#include "cheadui.h"

DuiLib::CControlUI* CSmallWindowUI::CreateControl(DuiLib::LPCTSTR pstrClass) {
    if (m_bHeadIcons && DuiLib::EqualNoCase(pstrClass, L"HeadIcon"))
        return new CHeadUI();
    return nullptr;
}
