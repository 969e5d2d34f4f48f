#include "app/Browser.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

// The browser is given a page, never the address: the page sits in a folder only this user
// can enter, is readable by this user only, sends the browser on to the address (escaped for
// HTML) and goes with the object.
TEST(Browser, TheAddressGoesIntoAPrivatePageThatRedirectsToIt) {
    TempFolder runtime;
    const std::string runtimePath = runtime.Path().string();
    const EnvLookup env = [&](const char* name) -> const char* {
        return std::string(name) == "XDG_RUNTIME_DIR" ? runtimePath.c_str() : nullptr;
    };
    const std::string url = "http://127.0.0.1:4321/?token=0123abcd&x=\"<>";
    std::string error;
    std::string path;
    {
        auto page = RedirectPage::Create(url, env, error);
        ASSERT_TRUE(page.has_value()) << error;
        path = page->Path();
        EXPECT_EQ(path.rfind(runtimePath + "/kaptiv-", 0), 0u) << path;
        EXPECT_EQ(path.find("0123abcd"), std::string::npos);
        struct stat file {};
        struct stat folder {};
        ASSERT_EQ(::stat(path.c_str(), &file), 0);
        ASSERT_EQ(::stat(std::filesystem::path(path).parent_path().c_str(), &folder), 0);
        EXPECT_EQ(file.st_mode & 0777, 0600u);
        EXPECT_EQ(folder.st_mode & 0777, 0700u);
        std::ifstream in(path);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, RedirectPageText(url));
        const std::string escaped = "http://127.0.0.1:4321/?token=0123abcd&amp;x=&quot;&lt;&gt;";
        EXPECT_NE(text.find("<meta http-equiv=\"refresh\" content=\"0;url=" + escaped + "\">"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("<a href=\"" + escaped + "\">"), std::string::npos);

        // What the opener receives is the page's path.
        const auto record = runtime.Path() / "arguments";
        runtime.Write("opener", "#!/bin/sh\nprintf '%s|' \"$@\" > \"" + record.string() + "\"\n");
        ASSERT_EQ(::chmod((runtime.Path() / "opener").c_str(), 0700), 0);
        const auto child = StartBrowser(page->Path(), error, (runtime.Path() / "opener").string());
        ASSERT_TRUE(child.has_value()) << error;
        int status = 0;
        ASSERT_EQ(::waitpid(*child, &status, 0), *child);
        EXPECT_EQ(runtime.Read("arguments"), path + "|");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path).parent_path()));
}

TEST(Browser, WithoutARuntimeFolderThePageGoesUnderTheTemporaryFolder) {
    TempFolder temporary;
    const std::string temporaryPath = temporary.Path().string();
    const EnvLookup env = [&](const char* name) -> const char* {
        const std::string variable = name;
        if (variable == "XDG_RUNTIME_DIR")
            return "/nonexistent/kaptiv-runtime";
        return variable == "TMPDIR" ? temporaryPath.c_str() : nullptr;
    };
    std::string error;
    const auto page = RedirectPage::Create("http://127.0.0.1:1/?token=ab", env, error);
    ASSERT_TRUE(page.has_value()) << error;
    EXPECT_EQ(page->Path().rfind(temporaryPath + "/kaptiv-", 0), 0u) << page->Path();
}
