#include "shell.h"

#include <cstdlib>
#include <fcntl.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include "knownfolders.h"
#include "registryscript.h"
#include "textconv.h"

namespace platform {

namespace {

bool IsRegistryScript(const std::string& path) {
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".reg") == 0 && FileExists(path);
}

} // namespace

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty())
        return false;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return false;
    // Fork twice so the program is adopted by init and never becomes a zombie of ours. The
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
            execvp(args[0], args.data());
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

bool ShellOpen(const std::wstring& target) {
    if (target.empty())
        return false;
    std::string arg = WideToMultiByte(CP_UTF8, target);
    if (IsRegistryScript(arg))
        return ImportRegistryScript(arg);
    const char* opener = getenv("SHOPDESK_OPENER");
    return SpawnDetached({opener && *opener ? opener : "xdg-open", arg});
}

} // namespace platform
