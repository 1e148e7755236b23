#pragma once
// Parts of the program that bring large libraries with them are loaded on their first use, so
// that a start maps only what the start needs.

namespace platform {

// The symbol `name` of the shared object `fileName`, loaded at the first call and kept: looked
// for beside the executable first, then on the library path. Null when either is missing.
void* ModuleSymbol(const char* fileName, const char* name);

// The function `name` of `fileName` into `fn`, as ModuleSymbol finds it; false when it is missing.
template <typename Fn>
bool ModuleFunction(Fn& fn, const char* fileName, const char* name) {
    fn = reinterpret_cast<Fn>(ModuleSymbol(fileName, name));
    return fn != nullptr;
}

} // namespace platform
