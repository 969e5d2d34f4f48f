#pragma once
// Opening the interface's address in the user's browser when a desktop session exists.
//
// The address holds the per-run token, and a program's command line can be read by every
// local user (/proc/PID/cmdline). So the browser is never given the address itself: it is
// given a small page, in a file only this user can read, that sends it on to the address.
#include "app/Profile.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace kaptiv::app {

inline constexpr const char* kDefaultBrowserOpener = "xdg-open";

// A desktop session exists when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool HasDesktopSession(const EnvLookup& env);

// The page that redirects to url: kaptiv-open.html (mode 0600) in a folder of its own (mode
// 0700) made under $XDG_RUNTIME_DIR, or under $TMPDIR or /tmp when that is not set. The file
// and its folder are removed when the object goes.
class RedirectPage {
public:
    static std::optional<RedirectPage> Create(const std::string& url, const EnvLookup& env,
                                              std::string& error);
    RedirectPage(RedirectPage&& other) noexcept;
    RedirectPage& operator=(RedirectPage&& other) = delete;
    RedirectPage(const RedirectPage&) = delete;
    RedirectPage& operator=(const RedirectPage&) = delete;
    ~RedirectPage();

    const std::string& Path() const { return m_path; }

private:
    RedirectPage(std::string folder, std::string path)
        : m_folder(std::move(folder)), m_path(std::move(path)) {}
    std::string m_folder;
    std::string m_path;
};

// The page's text: an immediate refresh to url, and a link to it for a browser that does
// not follow the refresh. The url is escaped for HTML.
std::string RedirectPageText(const std::string& url);

// Starts `opener` with `target` as its one argument (searched in PATH, never through a
// shell, so nothing in it is interpreted). Give it a RedirectPage's path, never the address.
// Returns the child's process id, which the caller must reap (see ReapInBackground), or
// nothing with `error` set.
std::optional<pid_t> StartBrowser(const std::string& target, std::string& error,
                                  const std::string& opener = kDefaultBrowserOpener);

// Waits for the child on a detached thread so that it does not linger as a zombie.
void ReapInBackground(pid_t child);

} // namespace kaptiv::app
