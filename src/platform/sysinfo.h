#pragma once
// Operating-system facts in the shapes the program asks for them.
#include <string>
#include <vector>
#include "wintypes.h"

namespace platform {

// Full path of the running executable (from /proc/self/exe); empty when unreadable.
std::wstring GetModuleFileName();

// Kernel release numbers from uname ("6.1.0-18-amd64" gives 6 and 1). False when unreadable.
bool GetKernelVersion(int& major, int& minor);
// True on a 64-bit machine (uname's machine field names a 64-bit architecture).
bool IsMachine64Bit();

// The machine identifier of /etc/machine-id (or the D-Bus copy) in the shape of a Windows
// MachineGuid: lower-case 8-4-4-4-12 hexadecimal groups. Empty when neither file is readable.
std::string ReadMachineGuid();

// Executable paths of every process listed in /proc, in ascending pid order, however many there
// are. Processes whose executable cannot be read (other users', kernel threads) give no entry.
std::vector<std::string> ListProcessImagePaths();

DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();
// Milliseconds since system start, wrapping at 2^32 like the Win32 tick count.
DWORD GetTickCount();
void GetLocalTime(SYSTEMTIME& st);

// A new random GUID from the system generator; false when none could be made.
bool CreateGuid(GUID& guid);

// Writes text to the debugger output, which is standard error here.
void OutputDebugString(const std::wstring& text);

} // namespace platform
