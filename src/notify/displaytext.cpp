#include "displaytext.h"

std::wstring CutForDisplay(const std::wstring& text) {
    if (text.size() <= kMaxDisplayChars)
        return text;
    return text.substr(0, kMaxDisplayChars - 1) + L"…";
}
