#pragma once
// A benchmark's sections chosen by name on its command line; without names, all of them.
#include <cstring>

inline bool BenchSectionWanted(int argc, char** argv, const char* name) {
    if (argc < 2)
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}
