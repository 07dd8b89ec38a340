#include <gtest/gtest.h>

#include "platform/wayland/monitor_mapping.h"

// Telling the shared monitor by what the portal says of it, and finding the region in its stream.
namespace vantorel {
namespace {

const std::vector<DesktopMonitor> kMonitors{{"LEFT", {0, 0, 1920, 1080}, {1920, 1080}},
                                            {"RIGHT", {1920, 0, 1920, 1080}, {1920, 1080}},
                                            {"HIDPI", {3840, 0, 1280, 720}, {2560, 1440}}};

TEST(MonitorMapping, TheSharedMonitorIsToldBySizeAndByAPositionThatSaysSomething) {
    struct Case {
        QString wanted;
        std::optional<QPoint> at;
        QSize size;
        bool shares;
    };
    for (const Case& c : std::vector<Case>{
             {"RIGHT", QPoint(1920, 0), {1920, 1080}, true},
             {"LEFT", QPoint(1920, 0), {1920, 1080}, false},
             {"RIGHT", QPoint(0, 0), {1920, 1080}, true},  // (0, 0) for every monitor
             {"HIDPI", std::nullopt, {1920, 1080}, false},
             {"HIDPI", std::nullopt, {2560, 1440}, true},  // pixels rather than logical size
             {"LEFT", std::nullopt, {1280, 720}, false}}) {
        EXPECT_EQ(sharesMonitor(kMonitors, c.wanted, c.at, c.size), c.shares)
            << c.wanted.toStdString();
    }
}

TEST(MonitorMapping, TheRegionIsScaledToTheStreamsPixelsAndClippedToThem) {
    struct Case {
        QSize monitor;
        QSize stream;
        QRect region;
        QRect inStream;
    };
    for (const Case& c : std::vector<Case>{
             {{1920, 1080}, {1920, 1080}, {300, 300, 640, 360}, {300, 300, 640, 360}},
             {{1280, 720}, {2560, 1440}, {10, 20, 100, 50}, {20, 40, 200, 100}},
             {{1536, 864}, {1920, 1080}, {100, 100, 401, 201}, {125, 125, 501, 251}},  // 1.25
             {{1920, 1080}, {1920, 1080}, {1800, 1000, 300, 300}, {1800, 1000, 120, 80}},
             {{1920, 1080}, {1920, 1080}, {2000, 0, 10, 10}, {}}}) {
        EXPECT_EQ(regionInStream(c.region, c.monitor, c.stream), c.inStream);
    }
}

}  // namespace
}  // namespace vantorel
