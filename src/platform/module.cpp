#include "module.h"

#include <dlfcn.h>

#include <string>

#include "sysinfo.h"
#include "textconv.h"

namespace platform {

void* ModuleSymbol(const char* fileName, const char* name, ModuleBinding binding) {
    int flags = RTLD_NOW | RTLD_LOCAL;
#ifndef __SANITIZE_ADDRESS__
    if (binding == ModuleBinding::OwnFirst)
        flags |= RTLD_DEEPBIND;
#endif
    std::string exe = WideToMultiByte(CP_UTF8, GetModuleFileName());
    std::string beside = exe.substr(0, exe.rfind('/') + 1) + fileName;
    void* module = dlopen(beside.c_str(), flags);
    if (!module)
        module = dlopen(fileName, flags);
    return module ? dlsym(module, name) : nullptr;
}

} // namespace platform
