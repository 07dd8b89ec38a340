#include <QApplication>

#include <gtest/gtest.h>

// Windows need a QApplication on a real X server (scripts/headless-session.sh). Listing the
// tests needs neither, so test discovery works without a display.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
