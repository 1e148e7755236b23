#include "shopdesk.h"

#include "common/debug.h"
#include "platform/knownfolders.h"
#include "startuprules.h"

CshopdeskApp::CshopdeskApp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        m_args.push_back(AnsiToWide(argv[i]));
}

BOOL CshopdeskApp::InitInstance() {
    m_strExeDir = GetDirOfPath(GetModulePath());

    // The first plain parameter is the command text; the URL protocol passes its URL there.
    std::wstring commandText;
    for (const std::wstring& a : m_args) {
        if (!a.empty() && a[0] != L'-') {
            commandText = a;
            break;
        }
    }
    m_strUid = ExtractUid(commandText);

    std::string cacheDir = DeriveCacheFolder();
    m_strCacheDir = AnsiToWide(cacheDir);
    if (!cacheDir.empty())
        platform::CreateDirectoryTree(cacheDir);

    CConfigManage* store = CConfigManage::GetInstance();
    store->Init(m_strCacheDir);
    m_config = STRUCT_Config{};
    store->ReadConfig(m_config);

    DEBUG_LOG(LOG_LEVEL_INFO, L"提示", L"uid=%s cache=%s AutoLogin=%d", m_strUid.c_str(), m_strCacheDir.c_str(),
              m_config.AutoLogin);
    return FALSE;
}
