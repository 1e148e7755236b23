#pragma once
// Where the servers live. The three hosts and an optional extra CA file are deployment
// configuration: "Deploy.cfg" beside the executable, section [Hosts], overridden by the
// environment. Hosts are base URLs "scheme://host[:port]" without a trailing "/".
#include <mutex>
#include <string>

struct SDeployHosts {
    std::string strConsoleHost;
    std::string strMerchantApiHost;
    std::string strMobileApiHost;
    std::string strCaFile; // empty: the system store alone
};

// A host as written in the file or the environment: blanks trimmed, "https://" added when no
// scheme is written, trailing "/" removed.
std::string NormalizeHostUrl(const std::string& text);

// Reads `cfgPath` (INI) and then the SHOPDESK_* environment variables.
SDeployHosts LoadDeployHosts(const std::string& cfgPath);
// The configuration file beside the running executable.
std::string DefaultDeployConfigPath();
