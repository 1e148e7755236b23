#include "digest.h"

#include <boost/archive/iterators/base64_from_binary.hpp>
#include <boost/archive/iterators/transform_width.hpp>
#include <QByteArray>
#include <QCryptographicHash>

namespace platform {

std::string Md5Digest(const std::string& bytes) {
    QByteArray md = QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                             QCryptographicHash::Md5);
    return std::string(md.constData(), static_cast<size_t>(md.size()));
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
