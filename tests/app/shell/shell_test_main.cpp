// The shell tests run in one QApplication on the offscreen platform, with the
// profile (XDG_CONFIG_HOME) and the temporary folder (TMPDIR, where the
// built-in language is written) in a private folder: set before Qt starts,
// since Qt keeps the paths it has seen.
#include <QApplication>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "temp_dir.h"

int main(int argc, char** argv) {
    zorbel::test::TempDir isolated;
    const std::string config = isolated.File("config");
    const std::string temp = isolated.File("tmp");
    std::filesystem::create_directories(config);
    std::filesystem::create_directories(temp);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("TMPDIR", temp.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);  // test discovery runs without CTest's environment too
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
