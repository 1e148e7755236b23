#include "startuprules.h"

#include <cstdlib>

#include "platform/knownfolders.h"

std::wstring ExtractUid(const std::wstring& commandText) {
    size_t pos = commandText.find(L"uid=");
    if (pos == std::wstring::npos)
        return std::wstring();
    std::wstring uid = commandText.substr(pos + 4);
    if (!uid.empty() && (uid.back() == L'/' || uid.back() == L'\\'))
        uid.pop_back();
    return uid;
}

std::string DeriveCacheFolderFromAppData(const std::string& appData,
                                         const std::function<bool(const std::string&)>& dirExists) {
    size_t pos = appData.rfind("Data");
    if (pos == std::string::npos)
        return std::string();
    std::string cut = appData.substr(0, pos + 4);
    if (dirExists(cut + "\\Local"))
        return cut + "\\Local\\QDX\\Cache\\";
    size_t a = cut.rfind("\\A");
    if (a == std::string::npos)
        return std::string();
    return cut.substr(0, a) + "\\Local Settings\\Application Data\\QDX\\Cache\\";
}

std::string DeriveCacheFolder() {
    if (const char* appData = getenv("AppData"))
        return DeriveCacheFolderFromAppData(appData, platform::DirectoryExists);
    std::string local = platform::GetLocalAppDataFolder();
    return local.empty() ? local : local + "/QDX/Cache/";
}
