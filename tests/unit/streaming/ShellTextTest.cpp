// The shell texts built from file names: the exact texts the module runs, and every name that
// would change what the command does refused with the file named.
#include "streaming/ShellText.h"

#include <gtest/gtest.h>

using namespace kaptiv::streaming;

TEST(ShellText, CommandsAreTheModulesExactTexts) {
    EXPECT_EQ(RemoveOldCopyCommand("clip.ts").text, "rm -f \"/mnt/clip.ts\"");
    EXPECT_EQ(MoveUploadCommand("clip.ts").text, "mv \"/mnt/clip.ts.tmp\" \"/mnt/clip.ts\"");
    EXPECT_EQ(DeleteCommand("clip.ts").text, "rm -f /mnt/clip.ts");
    EXPECT_EQ(RemovePathCommand("/mnt/clip.ts.tmp").text, "rm -f \"/mnt/clip.ts.tmp\"");
    EXPECT_EQ(UploadPath("clip.ts").text, "/mnt/clip.ts.tmp");
    // A space is harmless inside the quotation marks, not in the unquoted delete.
    EXPECT_TRUE(MoveUploadCommand("my clip.ts").Ok());
    EXPECT_FALSE(DeleteCommand("my clip.ts").Ok());
}

TEST(ShellText, EveryNameThatChangesTheCommandIsRefusedAndNamed) {
    const std::string specials[] = {"\"",
                                    "'",
                                    "\\",
                                    "$",
                                    "`",
                                    ";",
                                    "|",
                                    "&",
                                    "<",
                                    ">",
                                    "*",
                                    "?",
                                    "\n",
                                    "\r",
                                    "\t",
                                    std::string(1, '\x01'),
                                    std::string(1, '\x7F')};
    for (const std::string& c : specials) {
        const std::string name = "a" + c + "b.ts";
        for (const ShellText& t : {RemoveOldCopyCommand(name), MoveUploadCommand(name), DeleteCommand(name),
                                   UploadPath(name), RemovePathCommand("/mnt/" + name)}) {
            EXPECT_FALSE(t.Ok()) << int(c[0]);
            EXPECT_TRUE(t.text.empty());
        }
        if (c[0] >= 0x20 && c[0] != 0x7F) {
            EXPECT_NE(DeleteCommand(name).problem.find(name), std::string::npos)
                << DeleteCommand(name).problem;
        }
    }
    // Names that leave the key's folder.
    for (const char* name : {"", ".", "..", "../etc/passwd", "sub/clip.ts"})
        EXPECT_FALSE(DeleteCommand(name).Ok()) << name;
    EXPECT_FALSE(RemovePathCommand("/etc/clip.ts").Ok());
    EXPECT_FALSE(RemovePathCommand("clip.ts").Ok());
}

TEST(ShellText, LengthLimitsOfCommandAndPath) {
    // rm -f /mnt/N: 11 + N characters, at most 255.
    EXPECT_TRUE(DeleteCommand(std::string(244, 'a')).Ok());
    const ShellText longDelete = DeleteCommand(std::string(245, 'a'));
    EXPECT_FALSE(longDelete.Ok());
    EXPECT_NE(longDelete.problem.find(std::string(245, 'a')), std::string::npos);
    // The upload's move names the file twice: mv "/mnt/N.tmp" "/mnt/N" is 22 + 2N characters.
    EXPECT_TRUE(UploadPath(std::string(116, 'a')).Ok());
    EXPECT_FALSE(UploadPath(std::string(117, 'a')).Ok());
    EXPECT_EQ(MoveUploadCommand(std::string(116, 'a')).text.size(), 254u);
}

TEST(ShellText, UploadNameIsThePartAfterTheLastSlash) {
    EXPECT_EQ(UploadName("/home/installer/clips/clip.ts"), "clip.ts");
    EXPECT_EQ(UploadName("clip.ts"), "clip.ts");
    EXPECT_EQ(UploadName("/a/b/"), "");
    EXPECT_EQ(UploadName("C:\\clips\\clip.ts"), "C:\\clips\\clip.ts"); // refused later: backslashes
}
