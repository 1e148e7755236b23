#pragma once
// Finds the screen rectangle of the program's tray icon by its tooltip text. The desktop's
// tray host draws the icon; the toolkit's tray icon knows where it is while a host shows it.
#include <string>

#include "platform/winuser.h"

class CTrayIconPos {
public:
    virtual ~CTrayIconPos() = default;
    // True and the icon's rectangle when an icon of ours whose tooltip contains `tooltip` is
    // shown; false with `rc` untouched otherwise (empty text, no tray host, other tooltip).
    bool GetTrayIconRect(const std::wstring& tooltip, RECT& rc) const;
};
