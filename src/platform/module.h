#pragma once
// Parts of the program that bring large libraries with them are loaded on their first use, so
// that a start maps only what the start needs.

namespace platform {

// Where a library looks first for the symbols it and its dependencies need, decided when it
// first loads.
enum class ModuleBinding {
    // The program and the libraries it has, as for a library linked in. A library that shares
    // C++ code or replaced functions with the program needs this.
    ProgramFirst,
    // The library's own dependencies. For a C library with many dependencies of its own, every
    // reference they make then skips the search through the hundred libraries the program
    // already has. Not under the address sanitizer, which cannot follow such a library.
    OwnFirst,
};

// The symbol `name` of the shared object `fileName`, loaded at the first call and kept: looked
// for beside the executable first, then on the library path. Null when either is missing.
void* ModuleSymbol(const char* fileName, const char* name, ModuleBinding binding = ModuleBinding::ProgramFirst);

// The function `name` of `fileName` into `fn`, as ModuleSymbol finds it; false when it is missing.
template <typename Fn>
bool ModuleFunction(Fn& fn, const char* fileName, const char* name, ModuleBinding binding = ModuleBinding::ProgramFirst) {
    fn = reinterpret_cast<Fn>(ModuleSymbol(fileName, name, binding));
    return fn != nullptr;
}

} // namespace platform
