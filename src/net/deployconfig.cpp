#include "net/deployconfig.h"

#include <cstdlib>

#include "common/sysutils.h"
#include "platform/profile.h"

std::string NormalizeHostUrl(const std::string& text) {
    const char* ws = " \t\r\n";
    size_t b = text.find_first_not_of(ws);
    if (b == std::string::npos)
        return std::string();
    std::string s = text.substr(b, text.find_last_not_of(ws) - b + 1);
    if (s.find("://") == std::string::npos)
        s = "https://" + s;
    while (!s.empty() && s.back() == '/')
        s.pop_back();
    return s;
}

namespace {

std::string ReadKey(const std::string& path, const wchar_t* key) {
    return WideToUtf8(platform::GetPrivateProfileString(L"Hosts", key, L"", path));
}

void Override(std::string& value, const char* var, bool isHost) {
    const char* env = std::getenv(var);
    if (env && *env)
        value = isHost ? NormalizeHostUrl(env) : std::string(env);
}

} // namespace

std::string DefaultDeployConfigPath() {
    return WideToUtf8(GetDirOfPath(GetModulePath())) + "Deploy.cfg";
}

SDeployHosts LoadDeployHosts(const std::string& cfgPath) {
    SDeployHosts h;
    h.strConsoleHost = NormalizeHostUrl(ReadKey(cfgPath, L"ConsoleHost"));
    h.strMerchantApiHost = NormalizeHostUrl(ReadKey(cfgPath, L"MerchantApiHost"));
    h.strMobileApiHost = NormalizeHostUrl(ReadKey(cfgPath, L"MobileApiHost"));
    h.strCaFile = ReadKey(cfgPath, L"CaFile");
    Override(h.strConsoleHost, "SHOPDESK_CONSOLE_HOST", true);
    Override(h.strMerchantApiHost, "SHOPDESK_MERCHANT_HOST", true);
    Override(h.strMobileApiHost, "SHOPDESK_MOBILE_HOST", true);
    Override(h.strCaFile, "SHOPDESK_CA_FILE", false);
    return h;
}
