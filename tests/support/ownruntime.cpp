// The ctest entries of one test program are processes of their own that share the program's
// XDG_RUNTIME_DIR, so two of them running at once would meet on the window bus: one's uid
// forwarded to the other's window too, one's activation reported by the other. Linked into every
// test program, this gives each process a runtime folder of its own inside that one (inherited by
// the workbench processes it launches) and removes it when the process ends.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct SOwnRuntimeFolder {
    std::string path;
    SOwnRuntimeFolder() {
        const char* shared = std::getenv("XDG_RUNTIME_DIR");
        if (!shared || shared[0] != '/')
            return;
        std::filesystem::create_directories(shared);
        std::string pattern = std::string(shared) + "/process-XXXXXX";
        if (mkdtemp(pattern.data())) { // mode 0700, as a runtime folder must be
            path = pattern;
            setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
        }
    }
    ~SOwnRuntimeFolder() {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

const SOwnRuntimeFolder g_ownRuntimeFolder;

} // namespace
