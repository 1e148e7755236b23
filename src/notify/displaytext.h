#pragma once
// Texts the page sends may be of any length; what a window shows of them (labels, tooltips,
// hover rows, the tray tooltip) is cut, so a huge argument costs neither layout nor memory that
// outlives it. The full text goes only where it is sent on (the usage event).
#include <string>

constexpr size_t kMaxDisplayChars = 256;

// `text` itself when it has at most kMaxDisplayChars characters, else its first ones and "…".
std::wstring CutForDisplay(const std::wstring& text);
