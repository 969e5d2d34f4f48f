#include "app/Browser.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kaptiv::app;
using kaptiv::app::test::TempFolder;

TEST(Browser, ADesktopSessionNeedsANonEmptyDisplayVariable) {
    const auto env = [](std::map<std::string, std::string> values) -> EnvLookup {
        return [values = std::move(values)](const char* name) -> const char* {
            const auto it = values.find(name);
            return it == values.end() ? nullptr : it->second.c_str();
        };
    };
    EXPECT_FALSE(HasDesktopSession(env({})));
    EXPECT_FALSE(HasDesktopSession(env({{"DISPLAY", ""}})));
    EXPECT_TRUE(HasDesktopSession(env({{"DISPLAY", ":0"}})));
    EXPECT_TRUE(HasDesktopSession(env({{"WAYLAND_DISPLAY", "wayland-0"}})));
}

// The URL reaches the opener as one untouched argument, shell characters and all.
TEST(Browser, TheUrlIsPassedAsOneArgumentWithoutAShell) {
    TempFolder folder;
    const auto script = folder.Path() / "opener";
    const auto record = folder.Path() / "arguments";
    folder.Write("opener", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + record.string() + "\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0700), 0);

    const std::string url = "http://127.0.0.1:4321/?token=a b;touch x&$(id)`id`'\"";
    std::string error;
    const auto child = StartBrowser(url, error, script.string());
    ASSERT_TRUE(child.has_value()) << error;
    int status = 0;
    ASSERT_EQ(::waitpid(*child, &status, 0), *child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(folder.Read("arguments"), "1|" + url + "|");
    EXPECT_FALSE(std::filesystem::exists("x"));
}

TEST(Browser, AMissingOpenerIsAnError) {
    std::string error;
    EXPECT_FALSE(StartBrowser("http://127.0.0.1/", error, "/nonexistent/kaptiv-no-such-opener").has_value());
    EXPECT_NE(error.find("cannot start"), std::string::npos);
}
