#pragma once
// Where the toolkit's diagnostics go (skin problems, missing files). The toolkit knows no log of
// its own: the program plugs its log in at start; until then lines go to standard error.
#include <functional>
#include <string>

namespace DuiLib {

enum UILogLevel { UILOG_WARNING, UILOG_ERROR };

using UILogSink = std::function<void(UILogLevel level, const std::wstring& text)>;

// Replaces the sink (an empty one restores standard error). Call before windows are created.
void SetLogSink(UILogSink sink);
// printf-style with the Windows meaning of the wide conversions ("%s" wide, "%S" narrow).
void UILog(UILogLevel level, const wchar_t* format, ...);

} // namespace DuiLib
