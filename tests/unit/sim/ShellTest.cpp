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
             "   ",
             "sync now",
             "ls /mnt",
             "rm /mnt/a.ts",
             "rm -rf /mnt",
             "rm -f",
             "rm -f -r /mnt",
             "rm -f mnt/a.ts",
             "rm -f /mnt/../etc/passwd",
             "rm -f /mnt/a;reboot",
             "rm -f /mnt/a|cat",
             "rm -f /mnt/a&",
             "rm -f /mnt/$HOME",
             "rm -f /mnt/`id`",
             "rm -f /mnt/a'b",
             "rm -f /mnt/a\"b",
             "rm -f /mnt/a>b",
             "rm -f /mnt/a<b",
             "rm -f /mnt/a(1).ts",
             "rm -f /mnt/a\nsync",
             "rm -f /mnt/a\tb",
             "rm -f /mnt/a\\",
             "rm -f ~/a",
             "rm -f #/mnt/a",
             "rm -f /m*/a.ts",
             R"x(rm -f "/mnt/$(id)")x",
             R"x(rm -f "/mnt/`id`")x",
             R"x(rm -f "/mnt/a)x",
             R"x(rm -f "")x",
             R"x(rm -f '')x",
             R"x(mv "/mnt/a.tmp")x",
             R"x(mv "/mnt/a" "/mnt/b" "/mnt/c")x",
             "mv /mnt/a >/mnt/b",
             "touch",
             "touch a",
             "cat /logFile",
             "cat /logFile >>/tmp/x",
             "cat /logFile >/tmp/x >/tmp/y",
             "cat >/tmp/x",
             "cat >/tmp/x /logFile",
             "cat /a >/tmp/../x",
             "cat /a >/tmp/{x,y}",
             ">/tmp/x",
             "sync; rm -f /mnt/a",
             "sync && sync",
         })
        EXPECT_FALSE(Parse(text)) << "accepted: " << text;
}

// Words as a POSIX shell reads them: blanks, the three kinds of quoting, braces and patterns.
TEST(SimShell, ReadsWordsAsAShellDoes) {
    const auto paths = [](std::string_view text, std::vector<std::string> existing = {}) {
        std::string why;
        const auto command = ParseShellCommand(text, why, existing);
        EXPECT_TRUE(command) << text << ": " << why;
        return command ? command->paths : std::vector<std::string>{};
    };
    using V = std::vector<std::string>;
    EXPECT_TRUE(Parse("  sync  "));
    EXPECT_EQ(paths("rm -f  /mnt/a.ts   /mnt/b.ts"), (V{"/mnt/a.ts", "/mnt/b.ts"}));
    EXPECT_EQ(paths(R"(rm -f /mnt/a\ b.ts)"), V{"/mnt/a b.ts"});
    EXPECT_EQ(paths(R"(rm -f '/mnt/it''s'"'"'.ts')"), V{"/mnt/its'.ts"});
    EXPECT_EQ(paths(R"(rm -f "/mnt/a\"b\$c\`d\\e\f.ts")"), V{"/mnt/a\"b$c`d\\e\\f.ts"});
    EXPECT_EQ(paths(R"(rm -f "/mnt/[ab]*?.ts")", {"/mnt/a1.ts"}), V{"/mnt/[ab]*?.ts"});
    // Braces with a comma are expanded, others stay.
    EXPECT_EQ(paths("rm -f /mnt/a{b,c}.ts /mnt/a{b}.ts /mnt/{}.ts"),
              (V{"/mnt/ab.ts", "/mnt/ac.ts", "/mnt/a{b}.ts", "/mnt/{}.ts"}));
    EXPECT_EQ(paths("rm -f /mnt/{a,b{1,2}}.ts"), (V{"/mnt/a.ts", "/mnt/b1.ts", "/mnt/b2.ts"}));
    EXPECT_FALSE(Parse("rm -f /mnt/{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}")) << "512 words";
    // Patterns match the files there are, in byte order; no match leaves the word as written.
    const V key = {"/mnt/clip1.ts", "/mnt/clip[1].ts", "/mnt/b.ts",
                   "/mnt/a.ts",     "/mnt/.hidden.ts", "/tmp/a.ts"};
    EXPECT_EQ(paths("rm -f /mnt/clip[1].ts", key), V{"/mnt/clip1.ts"});
    EXPECT_EQ(paths("rm -f /mnt/[ab].ts", key), (V{"/mnt/a.ts", "/mnt/b.ts"}));
    EXPECT_EQ(paths("rm -f /mnt/[!a].ts", key), V{"/mnt/b.ts"});
    EXPECT_EQ(paths("rm -f /mnt/*", key), (V{"/mnt/a.ts", "/mnt/b.ts", "/mnt/clip1.ts", "/mnt/clip[1].ts"}));
    EXPECT_EQ(paths("rm -f /mnt/.*", key), V{"/mnt/.hidden.ts"});
    EXPECT_EQ(paths("rm -f /mnt/?.ts", key), (V{"/mnt/a.ts", "/mnt/b.ts"}));
    EXPECT_EQ(paths("rm -f /mnt/c*[]]*", key), V{"/mnt/clip[1].ts"});
    EXPECT_EQ(paths("rm -f /mnt/z*", key), V{"/mnt/z*"});
    EXPECT_EQ(paths("rm -f /mnt/a[.ts", key), V{"/mnt/a[.ts"});
    EXPECT_EQ(paths(R"(rm -f /mnt/clip\[1\].ts "/mnt/clip[1].ts")", key),
              (V{"/mnt/clip[1].ts", "/mnt/clip[1].ts"}));
    // A redirection may stand apart from its file.
    ASSERT_TRUE(Parse("cat /logFile > /tmp/x"));
    EXPECT_EQ(Parse("cat /logFile > /tmp/x")->target, "/tmp/x");
}

TEST(SimShell, PatternsMatchAsTheShellMatches) {
    const auto match = [](std::string_view pattern, std::string_view name) {
        return MatchPattern(pattern, std::vector<bool>(pattern.size(), false), name);
    };
    EXPECT_TRUE(match("*", "abc"));
    EXPECT_TRUE(match("a*c*e", "abcde"));
    EXPECT_FALSE(match("a*c*e", "abcd"));
    EXPECT_TRUE(match("[a-c]x", "bx"));
    EXPECT_FALSE(match("[a-c]x", "dx"));
    EXPECT_TRUE(match("[^a-c]x", "dx"));
    EXPECT_TRUE(match("[a-]x", "-x"));
    EXPECT_FALSE(match("*", ".x"));
    EXPECT_TRUE(match(".*", ".x"));
    // A quoted character means itself.
    EXPECT_FALSE(MatchPattern("a*", {false, true}, "ab"));
    EXPECT_TRUE(MatchPattern("a*", {false, true}, "a*"));
    // Many stars do not take exponential time.
    EXPECT_FALSE(match(std::string(100, '*') + "b", std::string(200, 'a')));
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
