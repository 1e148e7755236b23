#pragma once
// Page-view timing of a native window: shown at a time, hidden after so many seconds; each
// hide adds the usage event "page" for the window's name.
#include <cstdint>

class CPageViewTimer {
public:
    explicit CPageViewTimer(const char* pageName) : m_pageName(pageName) {}
    // From the window's WM_SHOWWINDOW.
    void OnShowWindow(bool shown);

private:
    const char* m_pageName;
    int64_t m_nShownAt = 0;
    bool m_bShown = false;
};
