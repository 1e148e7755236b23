#pragma once
// Trust for a private deployment whose servers carry certificates of its own CA: a chain the
// system store refuses is accepted only when it verifies against that CA and names the host,
// and the host and port are among the configured ones. Everything else stays refused.
#include <string>
#include <vector>

namespace DuiLib {

class CPrivateCaTrust {
public:
    // `caFile`: PEM file of the CA, empty for none. `hosts`: base URLs "scheme://host[:port]".
    void Set(const std::wstring& caFile, const std::vector<std::wstring>& hosts);
    // Whether the page at `url`, whose server sent `chainDer` (DER certificates, leaf first),
    // may load.
    bool Accepts(const std::wstring& url, const std::vector<std::string>& chainDer) const;

private:
    struct SHost {
        std::wstring strHost; // lower case
        int nPort;
    };
    bool IsConfiguredHost(const SHost& host) const;

    std::string m_strCaFile;
    std::vector<SHost> m_hosts;
};

} // namespace DuiLib
