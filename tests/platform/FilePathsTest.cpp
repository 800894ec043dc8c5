// Splitting stored paths, which may come from Windows.

#include <gtest/gtest.h>

#include "platform/FilePaths.h"

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

}  // namespace
