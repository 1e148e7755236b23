#pragma once
// Files that a reader, or the next start after a crash, must never find half written: the
// new content goes to a temporary file in the same folder, reaches the disk, and only then
// takes the old file's name in one rename.
#include <string>

namespace platform {

// Replaces the file at `path` with exactly `bytes`, keeping an existing file's permissions.
// False when any step fails; the old file is then untouched and no temporary file is left.
bool WriteFileWhole(const std::string& path, const std::string& bytes);

} // namespace platform
