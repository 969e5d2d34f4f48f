#pragma once
// Opening the interface's address in the user's browser when a desktop session exists.
#include "app/Profile.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace kaptiv::app {

inline constexpr const char* kDefaultBrowserOpener = "xdg-open";

// A desktop session exists when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool HasDesktopSession(const EnvLookup& env);

// Starts `opener` with the URL as its one argument (searched in PATH, never through a shell,
// so nothing in the URL is interpreted). Returns the child's process id, which the caller
// must reap (see ReapInBackground), or nothing with `error` set.
std::optional<pid_t> StartBrowser(const std::string& url, std::string& error,
                                  const std::string& opener = kDefaultBrowserOpener);

// Waits for the child on a detached thread so that it does not linger as a zombie.
void ReapInBackground(pid_t child);

} // namespace kaptiv::app
