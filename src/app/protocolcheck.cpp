#include "protocolcheck.h"

#include <cstdio>

#include "common/sysutils.h"
#include "platform/shell.h"

namespace {

const wchar_t* const kCommandKey = L"tessaril\\shell\\open\\command";
const wchar_t* const kProtocolKey = L"tessaril";
const wchar_t* const kIconKey = L"tessaril\\DefaultIcon";

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

bool ValueIs(const wchar_t* key, const wchar_t* name, const std::wstring& expected) {
    std::wstring value;
    RegReadString(HKEY_CLASSES_ROOT, key, name, value);
    return value == expected;
}

} // namespace

std::wstring ExpectedProtocolExecutable(const std::wstring& exeDir) {
    std::wstring module = GetModulePath();
    return exeDir + module.substr(module.rfind(kPathSepW) + 1);
}

bool IsUrlProtocolRegistered(const std::wstring& exePath) {
    // Every value is read, as the registry editor's user would see all three differ.
    bool command = ValueIs(kCommandKey, L"", Quoted(exePath) + L" " + Quoted(L"%1"));
    bool protocol = ValueIs(kProtocolKey, L"URL Protocol", exePath);
    bool icon = ValueIs(kIconKey, L"", exePath + L",1");
    return command && protocol && icon;
}

std::string MakeUrlProtocolScript(const std::wstring& exePath) {
    std::wstring path;
    for (wchar_t c : exePath) {
        path += c;
        if (c == L'\\')
            path += L'\\';
    }
    std::wstring text = L"Windows Registry Editor Version 5.00\n"
                        L"[HKEY_CLASSES_ROOT\\tessaril]\n"
                        L"@=\"tessarilProtocol\"\n"
                        L"\"URL Protocol\"=\"" + path + L"\"\n"
                        L"[HKEY_CLASSES_ROOT\\tessaril\\DefaultIcon]\n"
                        L"@=\"" + path + L",1\"\n"
                        L"[HKEY_CLASSES_ROOT\\tessaril\\shell]\n"
                        L"[HKEY_CLASSES_ROOT\\tessaril\\shell\\open]\n"
                        L"[HKEY_CLASSES_ROOT\\tessaril\\shell\\open\\command]\n"
                        L"@=\"\\\"" + path + L"\\\" \\\"%1\\\"\"\n";
    return WideToAnsi(text);
}

int WriteAndOpenUrlProtocolScript(const std::wstring& exePath, const std::wstring& cacheDir) {
    std::wstring file = cacheDir + L"shopdesk.reg";
    FILE* f = fopen(WideToAnsi(file).c_str(), "wb+");
    if (!f)
        return 0;
    std::string text = MakeUrlProtocolScript(exePath);
    bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
    written = fclose(f) == 0 && written;
    return written && platform::ShellOpen(file) ? 1 : 0;
}
