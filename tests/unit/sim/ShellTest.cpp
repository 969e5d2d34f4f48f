// The shell subset of the streaming modules: exactly the commands the PC sends, and nothing
// that a shell would read as more than one command, an expansion or a redirection.
#include "sim/Shell.h"

#include <gtest/gtest.h>

using namespace mulvane;

namespace {

std::optional<ShellCommand> Parse(std::string_view text) {
    std::string why;
    auto command = ParseShellCommand(text, why);
    if (!command) {
        EXPECT_FALSE(why.empty()) << text;
    }
    return command;
}

TEST(SimShell, AcceptsTheCommandsThePcSends) {
    auto rmQuoted = Parse(R"(rm -f "/mnt/clip one.ts")");
    ASSERT_TRUE(rmQuoted);
    EXPECT_EQ(rmQuoted->kind, ShellCommand::Kind::Remove);
    EXPECT_EQ(rmQuoted->paths, std::vector<std::string>{"/mnt/clip one.ts"});

    auto rmBare = Parse("rm -f /mnt/clip.ts");
    ASSERT_TRUE(rmBare);
    EXPECT_EQ(rmBare->paths, std::vector<std::string>{"/mnt/clip.ts"});

    auto mv = Parse(R"(mv "/mnt/clip.ts.tmp" "/mnt/clip.ts")");
    ASSERT_TRUE(mv);
    EXPECT_EQ(mv->kind, ShellCommand::Kind::Move);
    EXPECT_EQ(mv->paths, (std::vector<std::string>{"/mnt/clip.ts.tmp", "/mnt/clip.ts"}));

    ASSERT_TRUE(Parse("sync"));
    EXPECT_EQ(Parse("sync")->kind, ShellCommand::Kind::Sync);

    auto touch = Parse("touch /logFile.0");
    ASSERT_TRUE(touch);
    EXPECT_EQ(touch->kind, ShellCommand::Kind::Touch);

    auto cat = Parse("cat /logFile.0 /logFile >/tmp/log.txt");
    ASSERT_TRUE(cat);
    EXPECT_EQ(cat->kind, ShellCommand::Kind::Concat);
    EXPECT_EQ(cat->paths, (std::vector<std::string>{"/logFile.0", "/logFile"}));
    EXPECT_EQ(cat->target, "/tmp/log.txt");

    // Latin-1 letters in names are plain bytes.
    EXPECT_TRUE(Parse("rm -f /mnt/\xE9t\xE9.ts"));
}

TEST(SimShell, RefusesEverythingElse) {
    for (const char* text : {
             "",
             " sync",
             "sync ",
             "sync  ",
             "sync now",
             "ls /mnt",
             "rm /mnt/a.ts",
             "rm -rf /mnt",
             "rm -f",
             "rm -f /mnt/a.ts /mnt/b.ts",
             "rm -f mnt/a.ts",
             "rm -f /mnt/../etc/passwd",
             "rm -f /mnt/*.ts",
             "rm -f /mnt/a?.ts",
             "rm -f /mnt/a;reboot",
             "rm -f /mnt/a|cat",
             "rm -f /mnt/a&",
             "rm -f /mnt/$HOME",
             "rm -f /mnt/`id`",
             "rm -f /mnt/a\\b",
             "rm -f /mnt/a'b",
             "rm -f /mnt/a\"b",
             "rm -f /mnt/a>b",
             "rm -f /mnt/a(1).ts",
             "rm -f /mnt/a\nsync",
             "rm -f /mnt/a\tb",
             R"x(rm -f "/mnt/$(id)")x",
             R"x(rm -f "/mnt/`id`")x",
             R"x(rm -f "/mnt/a\"b")x",
             R"x(rm -f "/mnt/a)x",
             R"x(rm -f "/mnt/a"x)x",
             R"x(rm -f "")x",
             R"x(mv "/mnt/a.tmp")x",
             R"x(mv "/mnt/a" "/mnt/b" "/mnt/c")x",
             "mv /mnt/a >/mnt/b",
             "touch",
             "touch a",
             "cat /logFile",
             "cat /logFile > /tmp/x",
             "cat /logFile >/tmp/x >/tmp/y",
             "cat >/tmp/x",
             "cat /a >/tmp/../x",
             ">/tmp/x",
             "sync; rm -f /mnt/a",
             "sync && sync",
         })
        EXPECT_FALSE(Parse(text)) << "accepted: " << text;
}

TEST(SimShell, LengthLimitsOfTextAndPath) {
    const std::string name254 = "/mnt/" + std::string(249, 'a'); // 254 bytes
    std::string why;
    EXPECT_TRUE(IsAcceptablePath(name254, why));
    EXPECT_FALSE(IsAcceptablePath(name254 + "b", why)) << "a path of 255 bytes";
    EXPECT_FALSE(Parse("touch " + name254)) << "a text of 260 bytes";
    // 255 bytes of text in all is the most: "rm -f " + 249 = 255.
    const std::string path249 = "/mnt/" + std::string(244, 'c');
    EXPECT_TRUE(Parse("rm -f " + path249));
    EXPECT_FALSE(Parse("rm -f " + path249 + "c"));
}

} // namespace
