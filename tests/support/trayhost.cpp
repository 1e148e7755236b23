#include "trayhost.h"

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

TrayHost::TrayHost() {
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execlp("trayer", "trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32",
               static_cast<char*>(nullptr));
        _exit(127);
    }
}

TrayHost::~TrayHost() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}
