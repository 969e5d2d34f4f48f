#include "app/Browser.h"

#include "platform/FileAccess.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kaptiv::app {

namespace {

constexpr const char* kPageName = "kaptiv-open.html";

// A folder under which a private one can be made: $XDG_RUNTIME_DIR (the user's own, 0700)
// first, then the temporary folder.
std::string BaseFolder(const EnvLookup& env) {
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* value = env(name);
        if (value != nullptr && *value == '/' && platform::KindOf(value) == platform::FileKind::Directory)
            return value;
    }
    return "/tmp";
}

} // namespace

bool HasDesktopSession(const EnvLookup& env) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = env(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

std::string RedirectPageText(const std::string& url) {
    std::string escaped;
    for (const char c : url) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped.push_back(c);
        }
    }
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"refresh\" content=\"0;url=" +
           escaped + "\">\n<title>KAPTIV</title>\n</head>\n<body>\n<p><a href=\"" + escaped +
           "\">Open KAPTIV</a></p>\n</body>\n</html>\n";
}

std::optional<RedirectPage> RedirectPage::Create(const std::string& url, const EnvLookup& env,
                                                 std::string& error) {
    std::string pattern = BaseFolder(env) + "/kaptiv-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) { // made with mode 0700
        error = "cannot make a private folder for the browser's page in " + BaseFolder(env) + ": " +
                std::strerror(errno);
        return std::nullopt;
    }
    std::string folder(buffer.data());
    std::string path = folder + "/" + kPageName;
    // Nobody else can enter the folder, so the page is never readable by another user, not
    // even before its mode is set.
    const platform::FileResult written = platform::WriteFileAtomic(path, RedirectPageText(url));
    if (!written || ::chmod(path.c_str(), 0600) != 0) {
        error = written ? "cannot set the mode of " + path + ": " + std::strerror(errno) : written.error;
        ::unlink(path.c_str());
        ::rmdir(folder.c_str());
        return std::nullopt;
    }
    return RedirectPage(std::move(folder), std::move(path));
}

RedirectPage::RedirectPage(RedirectPage&& other) noexcept
    : m_folder(std::move(other.m_folder)), m_path(std::move(other.m_path)) {
    other.m_folder.clear();
    other.m_path.clear();
}

RedirectPage::~RedirectPage() {
    if (!m_path.empty())
        ::unlink(m_path.c_str());
    if (!m_folder.empty())
        ::rmdir(m_folder.c_str());
}

std::optional<pid_t> StartBrowser(const std::string& target, std::string& error, const std::string& opener) {
    std::string program = opener;
    std::string argument = target;
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
