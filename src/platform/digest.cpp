#include "digest.h"

#include <boost/archive/iterators/base64_from_binary.hpp>
#include <boost/archive/iterators/transform_width.hpp>
#include <openssl/evp.h>

namespace platform {

std::string Md5Digest(const std::string& bytes) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), md, &len, EVP_md5(), nullptr))
        return std::string();
    return std::string(reinterpret_cast<char*>(md), len);
}

std::string Base64(const std::string& bytes) {
    using namespace boost::archive::iterators;
    using It = base64_from_binary<transform_width<std::string::const_iterator, 6, 8>>;
    // transform_width reads past the end for a partial group, so feed a zero-padded copy and
    // replace the characters that stand for padding bits with "=".
    size_t pad = (3 - bytes.size() % 3) % 3;
    std::string padded = bytes;
    padded.append(pad, '\0');
    std::string out(It(padded.begin()), It(padded.end()));
    out.replace(out.size() - pad, pad, pad, '=');
    return out;
}

} // namespace platform
