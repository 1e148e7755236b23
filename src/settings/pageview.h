#pragma once
// Page-view timing of a native window: the time a window was shown, reported as one "page"
// usage event when it is hidden again.
#include <cstdint>
#include <string>

class CPageViewTimer {
public:
    explicit CPageViewTimer(std::string pageName) : m_strName(std::move(pageName)) {}

    // Feed WM_SHOWWINDOW's flag. A hide without a recorded show reports nothing, so a window
    // hidden at creation does not count a visit from 1970.
    void OnShowWindow(bool shown);

private:
    std::string m_strName;
    int64_t m_nShownAt = 0;
};
