#include "app/Browser.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace kaptiv::app {

bool HasDesktopSession(const EnvLookup& env) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = env(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

std::optional<pid_t> StartBrowser(const std::string& url, std::string& error, const std::string& opener) {
    std::string program = opener;
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    const int rc = ::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ);
    if (rc != 0) {
        error = "cannot start " + opener + ": " + std::strerror(rc);
        return std::nullopt;
    }
    return child;
}

void ReapInBackground(pid_t child) {
    std::thread([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace kaptiv::app
