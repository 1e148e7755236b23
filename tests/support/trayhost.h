#pragma once
// A tray host on the test's X server (Debian's trayer, docked at the bottom right), for as long
// as the object lives. Needs a real X display.
#include <sys/types.h>

class TrayHost {
public:
    TrayHost();
    ~TrayHost();
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

private:
    pid_t m_pid = -1;
};
