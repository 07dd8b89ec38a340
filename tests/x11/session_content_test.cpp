// Shareable content of the headless session's X server (two RandR monitors, MON-A and MON-B).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "color_window.h"
#include "platform/x11/x11_capture_access.h"
#include "platform/x11/x11_capture_service.h"
#include "session_fixture.h"

namespace vantorel::testing {
namespace {

class SessionContentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(headlessSessionPresent())
            << "needs the X server of scripts/headless-session.sh (monitors MON-A and MON-B)";
    }
};

const CaptureDisplay* displayWithId(const ShareableContent& content, uint32_t id) {
    auto it = std::find_if(content.displays.begin(), content.displays.end(),
                           [&](const CaptureDisplay& d) { return d.displayID == id; });
    return it == content.displays.end() ? nullptr : &*it;
}

TEST_F(SessionContentTest, ListsBothMonitorsUnderTheNumbersTheirNamesGive) {
    X11CaptureService service;
    const ContentAnswer answer = queryContent(service);
    ASSERT_EQ(answer.error, nullptr);
    ASSERT_TRUE(answer.content);
    const ShareableContent& content = *answer.content;
    ASSERT_EQ(content.displays.size(), 2u);
    EXPECT_NE(content.displays[0].displayID, content.displays[1].displayID);

    const std::optional<uint32_t> a = monitorId("", "MON-A");
    const std::optional<uint32_t> b = monitorId("", "MON-B");
    ASSERT_TRUE(a && b);
    const CaptureDisplay* monA = displayWithId(content, *a);
    const CaptureDisplay* monB = displayWithId(content, *b);
    ASSERT_NE(monA, nullptr);
    ASSERT_NE(monB, nullptr);
    EXPECT_DOUBLE_EQ(monA->frame.x, 0);
    EXPECT_DOUBLE_EQ(monA->frame.width, 1920);
    EXPECT_DOUBLE_EQ(monA->frame.height, 1080);
    EXPECT_DOUBLE_EQ(monB->frame.x, 1920);
    EXPECT_DOUBLE_EQ(monB->frame.y, 0);
    EXPECT_DOUBLE_EQ(monB->frame.width, 1920);
    EXPECT_DOUBLE_EQ(monA->scale, 1.0);
}

TEST_F(SessionContentTest, SessionDisplayCanBeCaptured) {
    EXPECT_TRUE(canCaptureDisplay());
}

TEST_F(SessionContentTest, UnknownMonitorNameHasNoNumber) {
    EXPECT_EQ(monitorId("", "NO-SUCH-MONITOR-7f3a"), std::nullopt);
    EXPECT_EQ(monitorId("", ""), std::nullopt);
}

TEST_F(SessionContentTest, ScaleComesFromTheInjectedFunctionByMonitorName) {
    X11CaptureOptions options;
    options.scaleForMonitor = [](const std::string& name) { return name == "MON-B" ? 2.0 : -1.0; };
    X11CaptureService service(options);
    const ContentAnswer answer = queryContent(service);
    ASSERT_TRUE(answer.content);
    const CaptureDisplay* monA = displayWithId(*answer.content, *monitorId("", "MON-A"));
    const CaptureDisplay* monB = displayWithId(*answer.content, *monitorId("", "MON-B"));
    ASSERT_TRUE(monA && monB);
    EXPECT_DOUBLE_EQ(monB->scale, 2.0);
    EXPECT_DOUBLE_EQ(monB->frame.x, 1920);  // the origin stays where the pixels are
    EXPECT_DOUBLE_EQ(monB->frame.width, 960);
    EXPECT_DOUBLE_EQ(monB->frame.height, 540);
    EXPECT_DOUBLE_EQ(monA->scale, 1.0);  // a nonsensical answer falls back to 1
    EXPECT_DOUBLE_EQ(monA->frame.width, 1920);
}

TEST_F(SessionContentTest, ProcessOfClientWindowsIsListedOnce) {
    ColorWindow first("", PixelRect{10, 900, 20, 20}, getpid());
    ColorWindow second("", PixelRect{40, 900, 20, 20}, getpid());
    X11CaptureService service;
    const ContentAnswer answer = queryContent(service);
    ASSERT_TRUE(answer.content);
    const auto& apps = answer.content->applications;
    EXPECT_EQ(std::count_if(apps.begin(), apps.end(),
                            [](const RunningApplication& a) { return a.processID == getpid(); }),
              1);
    auto mine = std::find_if(apps.begin(), apps.end(),
                             [](const RunningApplication& a) { return a.processID == getpid(); });
    ASSERT_NE(mine, apps.end());
    EXPECT_EQ(mine->applicationName, "ColorWindow");
    const auto& windows = answer.content->windows;
    for (xcb_window_t id : {first.id(), second.id()}) {
        auto it = std::find_if(windows.begin(), windows.end(),
                               [&](const CaptureWindow& w) { return w.windowID == id; });
        ASSERT_NE(it, windows.end()) << "window " << id;
        EXPECT_EQ(it->processID, getpid());
    }
}

TEST_F(SessionContentTest, UnmappedWindowCountsOnlyWhenOffScreenWindowsAreWanted) {
    const int64_t hiddenOwner = 3'999'001;  // no live process needed: the number is only read
    ColorWindow hidden("", PixelRect{70, 900, 20, 20}, hiddenOwner, /*mapped=*/false);
    X11CaptureService service;
    const auto hasOwner = [&](const ContentAnswer& answer) {
        const auto& apps = answer.content->applications;
        return std::any_of(apps.begin(), apps.end(),
                           [&](const RunningApplication& a) { return a.processID == hiddenOwner; });
    };
    const ContentAnswer onScreen = queryContent(service, true);
    const ContentAnswer all = queryContent(service, false);
    ASSERT_TRUE(onScreen.content && all.content);
    EXPECT_FALSE(hasOwner(onScreen));
    EXPECT_TRUE(hasOwner(all));
}

}  // namespace
}  // namespace vantorel::testing
