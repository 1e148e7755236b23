#include "shell.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "textconv.h"

namespace platform {

bool ShellOpen(const std::wstring& target) {
    if (target.empty())
        return false;
    std::string arg = WideToMultiByte(CP_UTF8, target);
    const char* opener = getenv("SHOPDESK_OPENER");
    std::string program = opener && *opener ? opener : "xdg-open";
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return false;
    // Fork twice so the opener is adopted by init and never becomes a zombie of ours. The
    // grandchild's exec closes the pipe; a failed exec writes one byte into it.
    pid_t child = fork();
    if (child < 0) {
        close(ready[0]);
        close(ready[1]);
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(arg.c_str()), nullptr};
            execvp(argv[0], argv);
            char failed = 1;
            (void)!write(ready[1], &failed, 1);
            _exit(127);
        }
        _exit(0);
    }
    close(ready[1]);
    waitpid(child, nullptr, 0);
    char failed = 0;
    ssize_t n = read(ready[0], &failed, 1);
    close(ready[0]);
    return n == 0;
}

} // namespace platform
