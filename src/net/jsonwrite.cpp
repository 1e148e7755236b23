#include "net/jsonwrite.h"

#include <memory>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif

std::string JsonCompact(const Json::Value& value, bool finalLineFeed) {
    // The fast writer is the one whose output the servers verify signatures against.
    Json::FastWriter writer;
    if (!finalLineFeed)
        writer.omitEndingLineFeed();
    return writer.write(value);
}

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

bool JsonParse(const std::string& text, Json::Value& root, bool allowComments) {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = allowComments;
    builder["collectComments"] = false;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errs;
    Json::Value parsed;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errs))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    root.swap(parsed);
    return true;
}
