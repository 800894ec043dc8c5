// Splitting stored paths, which may come from Windows; finding the bundled data.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/FilePaths.h"
#include "platform/Text.h"

namespace {

TEST(FilePathsTest, BothSeparatorsSplitAndTheFolderTurnsNative) {
    const struct {
        const char* Path;
        const char* Directory;
        const char* Name;
    } Rows[] = {
        {"world.lyr", "", "world.lyr"},
        {"/data/world.lyr", "/data/", "world.lyr"},
        {"sub\\world.lyr", "sub/", "world.lyr"},
        {"C:\\data\\maps\\world.lyr", "C:/data/maps/", "world.lyr"},
        {"..\\maps/world.lyr", "../maps/", "world.lyr"},
        {"/data/maps\\", "/data/maps/", ""},
        {"\\", "/", ""},
        {"", "", ""},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Path);
        const TSplitPath S = SplitPath(R.Path);
        EXPECT_EQ(S.Directory, R.Directory);
        EXPECT_EQ(S.Name, R.Name);
    }
    EXPECT_EQ(NativePath("a\\b/c\\"), "a/b/c/");
}

// The installed layout (share/orvex beside the prefix) is checked by the install test; here the
// override and the build tree's fallback, which a program run from the build tree relies on.
TEST(FilePathsTest, BundledDataComesFromTheOverrideOrTheBuildTreesSources) {
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    const std::string Override = PathFromQString(Dir.path()) + "/zo\xC3\xAB";
    std::filesystem::create_directory(Override);
    const std::string Sources = std::string(ORVEX_SOURCE_DIR) + "/data";
    const struct {
        const char* Name;
        std::optional<std::string> Env;
        std::string Expected;
    } Rows[] = {
        {"an override naming a folder wins, its bytes kept", Override, Override + "/"},
        {"an override naming no folder is passed over", Override + "/missing", Sources + "/"},
        {"without one, the sources' data for a program in the build tree", std::nullopt, Sources + "/"},
    };
    const char* Saved = std::getenv("ORVEX_DATA_DIR");
    const std::optional<std::string> Before = Saved ? std::optional<std::string>(Saved) : std::nullopt;
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        if (R.Env)
            setenv("ORVEX_DATA_DIR", R.Env->c_str(), 1);
        else
            unsetenv("ORVEX_DATA_DIR");
        EXPECT_EQ(BundledDataDirectory(), R.Expected);
    }
    EXPECT_EQ(BundledDataFile("earth.bmp"), Sources + "/earth.bmp");
    EXPECT_EQ(BundledDataFile("nothing.bmp"), "");
    if (Before)
        setenv("ORVEX_DATA_DIR", Before->c_str(), 1);
    else
        unsetenv("ORVEX_DATA_DIR");
}

}  // namespace
