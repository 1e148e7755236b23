#pragma once
// How the demo merchant API reads queries and form bodies: as strictly as the real servers.
// Fields must come in the client's order, a blank is "%20" and never "+", and query values
// (API type words and numbers) arrive unencoded.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace demo {

struct FormField {
    std::string key;
    std::string value;
};

class StrictForm {
public:
    // `raw` is a query (after "?") or a form body. Query values must not be percent-encoded;
    // body values are decoded. False, with the reason in Why(), for anything else.
    bool Parse(const std::string& raw, bool isQuery);
    // Exactly these keys in this order; the fault switches "fault" and "delay_ms" may follow.
    bool Expect(std::initializer_list<const char*> keys);
    const std::string& Value(const char* key) const;
    const std::string& Why() const { return m_why; }

private:
    bool Fail(const std::string& why);
    std::vector<FormField> m_fields;
    std::string m_why;
};

// Strict decimal: optional "-" (when `allowSign`), digits only, within [lo, hi].
bool ParseStrictInt(const std::string& text, int64_t lo, int64_t hi, int64_t& out);

} // namespace demo
