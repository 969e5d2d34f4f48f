#include "ui/FolderListing.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kaptiv::ui;
namespace fs = std::filesystem;

namespace {

TEST(FolderListing, FoldersFirstThenFilesMatchingTheFilter) {
    const fs::path root = fs::temp_directory_path() / ("kaptiv-ui-list-" + std::to_string(getpid()));
    fs::create_directories(root / "config");
    fs::create_directories(root / "firmware");
    fs::create_directories(root / ".hidden");
    std::ofstream(root / "b.QVC") << "12345";
    std::ofstream(root / "a.qvc") << "1";
    std::ofstream(root / "notes.txt") << "";

    const FolderListing listing = ListFolder(root.string() + "/config/..", "*.qvc");
    ASSERT_TRUE(listing.ok) << listing.error;
    EXPECT_EQ(listing.folder, root.string());
    EXPECT_EQ(listing.parent, root.parent_path().string());
    const std::vector<FolderEntry> expected{
        {"config", true, 0}, {"firmware", true, 0}, {"a.qvc", false, 1}, {"b.QVC", false, 5}};
    EXPECT_EQ(listing.entries, expected);

    const FolderListing capped = ListFolder(root.string(), "*", 2);
    EXPECT_TRUE(capped.truncated);
    EXPECT_EQ(capped.entries.size(), 2u);

    EXPECT_FALSE(ListFolder((root / "a.qvc").string()).ok);
    EXPECT_FALSE(ListFolder((root / "missing").string()).ok);
    fs::remove_all(root);
}

TEST(FolderListing, FilterPatterns) {
    EXPECT_TRUE(MatchesFilter("rack.qvc", "*.qvc"));
    EXPECT_TRUE(MatchesFilter("RACK.QVC", "*.txt; *.qvc"));
    EXPECT_FALSE(MatchesFilter("rack.qvc.bak", "*.qvc"));
    EXPECT_TRUE(MatchesFilter("QVX.FRM", "QVX.???"));
    EXPECT_TRUE(MatchesFilter("anything", "*.*"));
    EXPECT_TRUE(MatchesFilter("anything", ""));
    EXPECT_FALSE(MatchesFilter("a.ts", "*.qvc;;"));
}

} // namespace
