// The toolkit's log sink.
#include "uilog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/textconv.h"
#include "platform/winformat.h"

namespace DuiLib {

namespace {
std::mutex g_sinkMutex;
UILogSink g_sink;
}

void SetLogSink(UILogSink sink) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    g_sink = std::move(sink);
}

void UILog(UILogLevel level, const wchar_t* format, ...) {
    std::wstring text;
    va_list args;
    va_start(args, format);
    bool formatted = platform::VFormatWide(text, format ? format : L"", args);
    va_end(args);
    if (!formatted)
        text = format ? format : L"";
    UILogSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink)
        sink(level, text);
    else
        std::fprintf(stderr, "%s: %s\n", level == UILOG_ERROR ? "error" : "warning", platform::WideToMultiByte(CP_UTF8, text).c_str());
}

} // namespace DuiLib
