#pragma once
// The application object: reads the account identifier, derives the cache folder, loads the
// settings and runs the workbench until it ends.
#include <string>
#include <vector>

#include "platform/wintypes.h"
#include "settings/configmanage.h"

class CshopdeskApp {
public:
    CshopdeskApp(int argc, char** argv);

    // Does all of the program's work; always FALSE, the process ends when it returns.
    BOOL InitInstance();
    int ExitCode() const { return m_nExitCode; }

    const std::wstring& GetExeDir() const { return m_strExeDir; }
    const std::wstring& GetCacheDir() const { return m_strCacheDir; }
    const std::wstring& GetUid() const { return m_strUid; }

private:
    std::vector<std::wstring> m_args;
    std::wstring m_strExeDir;   // ends in a separator
    std::wstring m_strCacheDir; // ends in a separator; empty when it cannot be derived
    std::wstring m_strUid;
    STRUCT_Config m_config{};
    int m_nExitCode = 0;
};
