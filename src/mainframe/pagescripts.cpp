#include "pagescripts.h"

#include "common/sysutils.h"

namespace {
const wchar_t kScope[] = L"window.angular.element('[ng-app]').scope().";
}

std::wstring ScriptGetWindowsConfig() { return std::wstring(kScope) + L"getWindowsConfig();"; }

std::wstring ScriptGetState() { return std::wstring(kScope) + L"GetState();"; }

std::wstring ScriptReLogin() { return std::wstring(kScope) + L"reLogin();"; }

std::wstring ScriptJumptoUser(const std::wstring& conversationId) {
    return std::wstring(kScope) + L"JumptoUser('" + EscapeJsStringLiteral(conversationId) + L"');";
}

std::wstring ScriptChangeState(int a, int b) {
    return std::wstring(kScope) + FormatString(L"ChangeState('%d','%d');", a, b);
}

std::wstring EscapeJsStringLiteral(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\'': out += L"\\'"; break;
        case L'"': out += L"\\\""; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        case L'<': out += L"\\x3C"; break; // keeps "</script>" from closing an enclosing tag
        default:
            if (c < 0x20 || c == 0x2028 || c == 0x2029 || c == 0x7F)
                out += FormatString(L"\\u%04X", static_cast<unsigned>(c));
            else
                out += c;
        }
    }
    return out;
}
