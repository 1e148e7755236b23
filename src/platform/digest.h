#pragma once
// MD5 (Qt's QCryptographicHash) and base64 (Boost archive iterators).
#include <string>

namespace platform {

// The 16-byte MD5 digest of `bytes`.
std::string Md5Digest(const std::string& bytes);
// Standard base64 (RFC 4648 alphabet) with "=" padding.
std::string Base64(const std::string& bytes);

} // namespace platform
