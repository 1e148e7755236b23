#pragma once
// Compact JSON text as every request body and stored record of the program writes it:
// object keys in sorted order, no blanks, optionally ending in a line feed.
#include <string>

#include <json/json.h>

std::string JsonCompact(const Json::Value& value, bool finalLineFeed);
