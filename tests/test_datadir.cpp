#include "datadir.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// An install tree under a temporary folder, with "elsewhere", a folder without resources/
// to start the game from. The working directory is restored afterwards: the other suites
// read resources/ from the source root.
class DataDirTest : public ::testing::Test {
protected:
    fs::path root, start_dir;
    char dir[PATH_MAX];

    void SetUp() override
    {
        start_dir = fs::current_path();
        char tmpl[] = "/tmp/quorvale_datadir_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        fs::create_directories(root / "usr/bin");
        fs::create_directories(root / "usr/share/quorvale/resources/images");
        fs::create_directories(root / "elsewhere");
        fs::current_path(root / "elsewhere");
    }
    void TearDown() override
    {
        fs::current_path(start_dir);
        fs::remove_all(root);
    }
    std::string exe() { return (root / "usr/bin/quorvale").string(); }
    bool find(const std::string& exe_path, const char* from_bin = "../share/quorvale")
    {
        return find_data_dir(exe_path.c_str(), from_bin, dir, sizeof(dir));
    }
};

TEST_F(DataDirTest, FindsTheInstallBesideBinWhenTheWorkingDirectoryHasNoResources)
{
    EXPECT_TRUE(find(exe()));
    // Resolved and ready to take "resources/...".
    EXPECT_EQ(std::string(dir), (root / "usr/share/quorvale/").string());

    fs::create_directories(root / "usr/share/games/quorvale/resources");
    EXPECT_TRUE(find(exe(), "../share/games/quorvale"));
    EXPECT_EQ(std::string(dir), (root / "usr/share/games/quorvale/").string());
}

TEST_F(DataDirTest, ResourcesInTheWorkingDirectoryComeFirst)
{
    fs::create_directories(root / "elsewhere/resources");
    EXPECT_FALSE(find(exe()));
    EXPECT_STREQ(dir, "");
}

TEST_F(DataDirTest, WithoutAnInstallThePathsStayAsGiven)
{
    fs::remove_all(root / "usr/share/quorvale/resources");
    EXPECT_FALSE(find(exe())) << "a data folder without resources/ is no install";
    EXPECT_STREQ(dir, "");
    EXPECT_FALSE(find("quorvale")) << "no folder in the executable's path";
    EXPECT_STREQ(dir, "");

    // A folder that does not fit is not used cut short.
    fs::create_directories(root / "usr/share/quorvale/resources");
    EXPECT_FALSE(find_data_dir(exe().c_str(), "../share/quorvale", dir, 8));
    EXPECT_STREQ(dir, "");
}

TEST(DataPath, AGameStartedFromItsTreeReadsTheSamePathsAsBefore)
{
    // The tests run from the source root, where resources/ is.
    init_data_dir();
    char buf[PATH_MAX];
    EXPECT_STREQ(data_path("resources/images/voxel.png", buf, sizeof(buf)),
                 "resources/images/voxel.png");
    char small[10];
    EXPECT_STREQ(data_path("resources/images/voxel.png", small, sizeof(small)), "")
        << "a path that does not fit must not be opened cut short";
}

}  // namespace
