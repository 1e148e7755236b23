#pragma once
// The registry: a per-user store file with the Windows hives, key paths and value names.
// Values that mean something to the desktop are mirrored onto its own conventions instead
// of the store file:
//   HKCU "Software\Microsoft\Windows\CurrentVersion\Run" value "shopdesk"
//       <-> the XDG autostart entry "shopdesk.desktop" (its Exec line is the value);
//   HKLM "SOFTWARE\Microsoft\Cryptography" value "MachineGuid"
//       <-> /etc/machine-id, read-only;
//   HKCR "tessaril" URL protocol values <-> the desktop's handler for the scheme, read-only
//       here; a ".reg" script opened through the shell registers it (registryprotocol.h).
// Key paths and value names compare case-insensitively, as on Windows.
#include <cstdint>
#include <string>

typedef struct HKEY__* HKEY;
#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002)
#define HKEY_USERS ((HKEY)(uintptr_t)0x80000003)

namespace platform {

// Path of the per-user store file: configuration folder + "/shopdesk/registry.json".
std::string RegistryStorePath();

bool RegistryReadString(HKEY hive, const std::wstring& key, const std::wstring& name, std::wstring& out);
bool RegistryWriteString(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& value);
// False when the value does not exist or cannot be removed.
bool RegistryDeleteValue(HKEY hive, const std::wstring& key, const std::wstring& name);

} // namespace platform
