// The shell texts built from file names: the exact texts the module runs, every name quoted
// so that the shell reads it as one plain word, and what quoting cannot make safe refused
// with the file named.
#include "streaming/ShellText.h"

#include <gtest/gtest.h>

using namespace kaptiv::streaming;

TEST(ShellText, CommandsAreTheModulesExactTexts) {
    EXPECT_EQ(RemoveOldCopyCommand("clip.ts").text, "rm -f \"/mnt/clip.ts\"");
    EXPECT_EQ(MoveUploadCommand("clip.ts").text, "mv \"/mnt/clip.ts.tmp\" \"/mnt/clip.ts\"");
    EXPECT_EQ(DeleteCommand("clip.ts").text, "rm -f \"/mnt/clip.ts\"");
    EXPECT_EQ(RemovePathCommand("/mnt/clip.ts.tmp").text, "rm -f \"/mnt/clip.ts.tmp\"");
    EXPECT_EQ(UploadPath("clip.ts").text, "/mnt/clip.ts.tmp");
}

TEST(ShellText, EveryNameIsQuotedAndWhatTheQuotesLeaveSpecialIsEscaped) {
    // Wildcards, brackets, braces, blanks, separators and redirections mean nothing inside
    // double quotes: the names go as they are, and what can be uploaded can be deleted.
    for (const std::string name : {"clip[1].ts", "my clip.ts", "a{b}.ts", "it's.ts", "a*b?.ts", "a;b|c&d.ts",
                                   "a<b>c.ts", "a(1)#~.ts", "\xE9t\xE9.ts"}) {
        EXPECT_EQ(DeleteCommand(name).text, "rm -f \"/mnt/" + name + "\"") << name;
        EXPECT_TRUE(UploadPath(name).Ok()) << name;
    }
    // Inside double quotes `\`, `$` and the backquote still mean something: a backslash makes
    // them plain.
    EXPECT_EQ(DeleteCommand("a$HOME`id`\\b.ts").text, R"(rm -f "/mnt/a\$HOME\`id\`\\b.ts")");
    EXPECT_EQ(MoveUploadCommand("$x").text, R"(mv "/mnt/\$x.tmp" "/mnt/\$x")");
}

TEST(ShellText, WhatQuotingCannotMakeSafeIsRefusedAndNamed) {
    const std::string refused[] = {"\"",   "\n",   "\r", "\t", std::string(1, '\x01'), std::string(1, '\x1B'),
                                   "\x7F", "\x85", "/"};
    for (const std::string& c : refused) {
        const std::string name = "a" + c + "b.ts";
        for (const ShellText& t : {RemoveOldCopyCommand(name), MoveUploadCommand(name), DeleteCommand(name),
                                   UploadPath(name), RemovePathCommand("/mnt/" + name)}) {
            EXPECT_FALSE(t.Ok()) << int(static_cast<unsigned char>(c[0]));
            EXPECT_TRUE(t.text.empty());
            EXPECT_NE(t.problem.find(name), std::string::npos) << t.problem;
        }
    }
    EXPECT_NE(DeleteCommand("a\"b").problem.find("quotation mark"), std::string::npos);
    EXPECT_NE(DeleteCommand("a\x1B"
                            "b")
                  .problem.find("control character"),
              std::string::npos);
    // Names that leave the key's folder.
    for (const char* name : {"", ".", "..", "../etc/passwd", "sub/clip.ts"})
        EXPECT_FALSE(DeleteCommand(name).Ok()) << name;
    EXPECT_TRUE(DeleteCommand("..x").Ok());
    EXPECT_FALSE(RemovePathCommand("/etc/clip.ts").Ok());
    EXPECT_FALSE(RemovePathCommand("clip.ts").Ok());
    EXPECT_FALSE(RemovePathCommand("/mnt/../clip.ts").Ok());
}

TEST(ShellText, LengthLimitsOfCommandAndPath) {
    // rm -f "/mnt/N": 13 + N characters, at most 255.
    EXPECT_TRUE(DeleteCommand(std::string(242, 'a')).Ok());
    const ShellText longDelete = DeleteCommand(std::string(243, 'a'));
    EXPECT_FALSE(longDelete.Ok());
    EXPECT_NE(longDelete.problem.find(std::string(243, 'a')), std::string::npos);
    // An escape counts: 241 characters and one `$` make 243 characters in the text.
    EXPECT_TRUE(DeleteCommand(std::string(240, 'a') + "$").Ok());
    EXPECT_FALSE(DeleteCommand(std::string(241, 'a') + "$").Ok());
    // The upload's move names the file twice: mv "/mnt/N.tmp" "/mnt/N" is 22 + 2N characters.
    EXPECT_TRUE(UploadPath(std::string(116, 'a')).Ok());
    EXPECT_FALSE(UploadPath(std::string(117, 'a')).Ok());
    EXPECT_EQ(MoveUploadCommand(std::string(116, 'a')).text.size(), 254u);
}

TEST(ShellText, UploadNameIsThePartAfterTheLastSlash) {
    EXPECT_EQ(UploadName("/home/installer/clips/clip.ts"), "clip.ts");
    EXPECT_EQ(UploadName("clip.ts"), "clip.ts");
    EXPECT_EQ(UploadName("/a/b/"), "");
    EXPECT_EQ(UploadName("C:\\clips\\clip.ts"), "C:\\clips\\clip.ts"); // a backslash is a plain byte
}
