#include "strictform.h"

#include <cctype>

namespace demo {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool StrictForm::Fail(const std::string& why) {
    m_why = why;
    m_fields.clear();
    return false;
}

bool StrictForm::Parse(const std::string& raw, bool isQuery) {
    m_fields.clear();
    m_why.clear();
    if (raw.empty())
        return true;
    size_t pos = 0;
    while (pos <= raw.size()) {
        size_t end = raw.find('&', pos);
        if (end == std::string::npos)
            end = raw.size();
        std::string pair = raw.substr(pos, end - pos);
        size_t eq = pair.find('=');
        if (pair.empty() || eq == std::string::npos || eq == 0)
            return Fail("malformed field '" + pair + "'");
        FormField f;
        f.key = pair.substr(0, eq);
        std::string value = pair.substr(eq + 1);
        for (size_t i = 0; i < value.size(); ++i) {
            char c = value[i];
            if (c == '+')
                return Fail("'+' in " + f.key + ": a blank is sent as %20");
            if (c == '%') {
                if (isQuery && f.key != "fault")
                    return Fail("percent-encoded query value in " + f.key);
                int hi = i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
                int lo = hi >= 0 ? HexValue(value[i + 2]) : -1;
                if (hi < 0 || lo < 0)
                    return Fail("broken percent escape in " + f.key);
                f.value += static_cast<char>(hi * 16 + lo);
                i += 2;
            } else {
                f.value += c;
            }
        }
        for (const FormField& seen : m_fields)
            if (seen.key == f.key)
                return Fail("field " + f.key + " given twice");
        m_fields.push_back(std::move(f));
        pos = end + 1;
        if (end == raw.size())
            break;
    }
    return true;
}

bool StrictForm::Expect(std::initializer_list<const char*> keys) {
    size_t i = 0;
    for (const char* k : keys) {
        if (i >= m_fields.size())
            return Fail(std::string("missing field ") + k);
        if (m_fields[i].key != k)
            return Fail("field " + m_fields[i].key + " where " + k + " belongs");
        ++i;
    }
    for (; i < m_fields.size(); ++i)
        if (m_fields[i].key != "fault" && m_fields[i].key != "delay_ms")
            return Fail("unexpected field " + m_fields[i].key);
    return true;
}

const std::string& StrictForm::Value(const char* key) const {
    static const std::string none;
    for (const FormField& f : m_fields)
        if (f.key == key)
            return f.value;
    return none;
}

bool ParseStrictInt(const std::string& text, int64_t lo, int64_t hi, int64_t& out) {
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() - i > 18)
        return false;
    int64_t v = 0;
    for (size_t k = i; k < text.size(); ++k) {
        if (!std::isdigit(static_cast<unsigned char>(text[k])))
            return false;
        v = v * 10 + (text[k] - '0');
    }
    v = i ? -v : v;
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

} // namespace demo
