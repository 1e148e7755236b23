#include "ctrayiconpos.h"

#include "duilib/uitray.h"

bool CTrayIconPos::GetTrayIconRect(const std::wstring& tooltip, RECT& rc) const {
    if (tooltip.empty())
        return false;
    DuiLib::CDuiTrayIcon* tray = DuiLib::CDuiTrayIcon::GetInstance();
    if (tray->GetTooltipText().find(tooltip) == std::wstring::npos)
        return false;
    RECT found{};
    if (!tray->GetIconRect(found))
        return false;
    rc = found;
    return true;
}
