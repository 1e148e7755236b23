#include "net/jsonwrite.h"

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
