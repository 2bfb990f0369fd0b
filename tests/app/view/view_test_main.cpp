// The layers and the printed page are drawn with fonts, and the progress
// dialog is a widget: an application with widgets (offscreen).
#include <QApplication>

#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);  // test discovery runs without CTest's environment too
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
