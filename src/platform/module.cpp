#include "module.h"

#include <dlfcn.h>

#include <string>

#include "sysinfo.h"
#include "textconv.h"

namespace platform {

void* ModuleSymbol(const char* fileName, const char* name) {
    std::string exe = WideToMultiByte(CP_UTF8, GetModuleFileName());
    std::string beside = exe.substr(0, exe.rfind('/') + 1) + fileName;
    void* module = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        module = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    return module ? dlsym(module, name) : nullptr;
}

} // namespace platform
