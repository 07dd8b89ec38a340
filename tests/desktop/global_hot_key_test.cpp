#include <gtest/gtest.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>

#include <memory>
#include <ostream>

#include "app/global_hot_key.h"
#include "event_loop.h"
#include "flow_fixture.h"
#include "platform/main_thread.h"
#include "selection/selection_overlay_controller.h"
#include "x11_keys.h"

// The shortcut against the real X server of the headless session, pressed with xdotool.
namespace vantorel::testing {
namespace {

constexpr uint8_t kR = GlobalHotKey::kKeyCode;

class HotKeyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(qGuiApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr)
            << "run inside scripts/headless-session.sh";
        ASSERT_TRUE(sentinel_.grabbed());
    }
    // Every hot key of the test is gone by now; make sure the server has let go of its grabs.
    void TearDown() override { syncQtConnection(); }

    std::unique_ptr<GlobalHotKey> makeHotKey() {
        return std::make_unique<GlobalHotKey>([this] {
            ++fired_;
            firedOnMainThread_ = firedOnMainThread_ && isMainThread();
        });
    }

    KeySentinel sentinel_;
    int fired_ = 0;
    bool firedOnMainThread_ = true;
};

TEST_F(HotKeyTest, OnePressRunsTheActionOnceOnTheMainThread) {
    auto hotKey = makeHotKey();
    ASSERT_TRUE(hotKey->active());
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 1);
    EXPECT_TRUE(firedOnMainThread_);

    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 2);
}

struct Combination {
    const char* keys;
    int fires;
};
void PrintTo(const Combination& c, std::ostream* out) {
    *out << c.keys;
}

class HotKeyCombinationTest : public HotKeyTest,
                              public ::testing::WithParamInterface<Combination> {};

TEST_P(HotKeyCombinationTest, OnlySuperShiftROnTheRKeyFires) {
    auto hotKey = makeHotKey();
    ASSERT_TRUE(xdotool({"key", GetParam().keys}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, GetParam().fires) << GetParam().keys;
}

INSTANTIATE_TEST_SUITE_P(Keys, HotKeyCombinationTest,
                         ::testing::Values(Combination{"super+shift+r", 1},
                                           Combination{"ctrl+shift+r", 0},
                                           Combination{"shift+r", 0}, Combination{"super+r", 0},
                                           Combination{"super+alt+shift+r", 0},
                                           Combination{"super+ctrl+shift+r", 0},
                                           Combination{"r", 0}, Combination{"super+shift+t", 0},
                                           Combination{"super+shift+e", 0}));

struct Locks {
    QStringList keys;
    QStringList names;
};
void PrintTo(const Locks& l, std::ostream* out) {
    *out << l.keys.join('+').toStdString();
}

class HotKeyLockTest : public HotKeyTest, public ::testing::WithParamInterface<Locks> {};

TEST_P(HotKeyLockTest, StillFiresWithLockKeysOn) {
    auto hotKey = makeHotKey();
    const LocksOn locks(GetParam().keys);
    for (const QString& name : GetParam().names) {
        ASSERT_TRUE(lockIsOn(name)) << name.toStdString();
    }
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Locks, HotKeyLockTest,
    ::testing::Values(Locks{{"Caps_Lock"}, {"Caps Lock"}}, Locks{{"Num_Lock"}, {"Num Lock"}},
                      Locks{{"Caps_Lock", "Num_Lock"}, {"Caps Lock", "Num Lock"}}));

// Counts every press of the R key position that reaches the program, repeats included.
class RawPresses final : public QAbstractNativeEventFilter {
  public:
    RawPresses() { QCoreApplication::instance()->installNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if (eventType == "xcb_generic_event_t" && (event->response_type & 0x7f) == XCB_KEY_PRESS &&
            reinterpret_cast<const xcb_key_press_event_t*>(event)->detail == kR) {
            ++count;
        }
        return false;
    }
    int count = 0;
};

TEST_F(HotKeyTest, HoldingTheKeysDownIsOnePress) {
    auto hotKey = makeHotKey();
    const RawPresses presses;  // installed last, so it sees the presses first
    ASSERT_TRUE(xdotool({"keydown", "super+shift+r"}));
    // Held until the server's auto-repeat has sent the press again, twice.
    const bool repeated = waitUntil([&] { return presses.count >= 3; });
    ASSERT_TRUE(xdotool({"keyup", "r"}));
    ASSERT_TRUE(xdotool({"keyup", "super+shift"}));
    ASSERT_TRUE(repeated) << "the X server did not auto-repeat";
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 1);

    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 2) << "the release ended the hold";
}

TEST_F(HotKeyTest, TheKeyIsFoundByPositionWhateverTheLayoutTypes) {
    auto hotKey = makeHotKey();
    // A layout that puts T where R is, and R where T is.
    struct Swap {
        Swap() {
            ok = QProcess::execute("xmodmap",
                                   {"-e", "keycode 27 = t T", "-e", "keycode 28 = r R"}) == 0;
        }
        ~Swap() {
            QProcess::execute("xmodmap", {"-e", "keycode 27 = r R", "-e", "keycode 28 = t T"});
        }
        bool ok = false;
    } swap;
    ASSERT_TRUE(swap.ok);
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));  // the R letter, now on another key
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 0);
    ASSERT_TRUE(xdotool({"key", "super+shift+t"}));  // the key at the R position
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 1);
}

TEST_F(HotKeyTest, AfterDestructionNothingHappensAndTheCombinationIsFree) {
    auto hotKey = makeHotKey();
    hotKey.reset();
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 0);

    OtherClient other;
    ASSERT_TRUE(other.connected());
    for (const uint16_t locks : {uint16_t{0}, kLock, kNumLock, uint16_t{kLock | kNumLock}}) {
        EXPECT_TRUE(other.grabKey(kR, kSuper | kShift | locks))
            << "variant " << locks << " still held";
    }
}

TEST_F(HotKeyTest, ACombinationHeldByAnotherProgramLeavesTheHotKeyInert) {
    OtherClient other;
    ASSERT_TRUE(other.connected());
    ASSERT_TRUE(other.grabKey(kR, kSuper | kShift));

    auto hotKey = makeHotKey();
    EXPECT_FALSE(hotKey->active());
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    EXPECT_TRUE(other.receivesPress(kR)) << "the other program keeps its shortcut";
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(fired_, 0);
}

TEST_F(HotKeyTest, APartlyHeldCombinationIsGivenBackWhole) {
    OtherClient other;
    ASSERT_TRUE(other.connected());
    ASSERT_TRUE(other.grabKey(kR, kSuper | kShift | kLock));

    auto hotKey = makeHotKey();
    EXPECT_FALSE(hotKey->active());
    for (const uint16_t locks : {uint16_t{0}, kNumLock, uint16_t{kLock | kNumLock}}) {
        EXPECT_TRUE(other.grabKey(kR, kSuper | kShift | locks)) << "variant " << locks << " kept";
    }
}

// The selection overlay the program shows: one window per screen, holding the keyboard.
class RealOverlay final : public SelectionOverlay {
  public:
    RealOverlay(std::function<void(const Selection&)> onRecord, std::function<void()> onCancel)
        : controller_(std::move(onRecord), std::move(onCancel)) {}
    void show() override { controller_.show(); }
    void cancel() override { controller_.cancel(); }
    void close() override { controller_.close(); }
    bool shown() const { return !controller_.views().empty(); }

  private:
    SelectionOverlayController controller_;
};

// The shortcut drives the recording flow as the menu's first item does.
class HotKeyFlowTest : public FlowTest {
  protected:
    void SetUp() override {
        FlowTest::SetUp();
        ASSERT_TRUE(sentinel_.grabbed());
        launch(false);
    }
    void launch(bool realOverlay) {
        delegate_.reset();
        AppServices withHotKey = services();
        withHotKey.makeHotKey = [](std::function<void()> action) {
            return std::make_unique<GlobalHotKey>(std::move(action));
        };
        if (realOverlay) {
            withHotKey.makeOverlay = [this](std::function<void(const Selection&)> onRecord,
                                            std::function<void()> onCancel) {
                auto overlay =
                    std::make_unique<RealOverlay>(std::move(onRecord), std::move(onCancel));
                realOverlay_ = overlay.get();
                return overlay;
            };
        }
        delegate_ = std::make_unique<AppDelegate>(std::move(withHotKey));
        delegate_->applicationDidFinishLaunching();
    }
    void TearDown() override {
        FlowTest::TearDown();
        syncQtConnection();
    }

    KeySentinel sentinel_;
    RealOverlay* realOverlay_ = nullptr;
};

// The second press arrives while the overlay holds the keyboard, so not through the root grab.
TEST_F(HotKeyFlowTest, APressStartsASelectionAndASecondPressCancelsIt) {
    launch(true);
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(delegate_->phase(), Phase::selecting);
    ASSERT_NE(realOverlay_, nullptr);
    EXPECT_TRUE(realOverlay_->shown());

    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(delegate_->phase(), Phase::idle);
    EXPECT_TRUE(presenter_.alerts.empty());
}

TEST_F(HotKeyFlowTest, APressWhileRecordingStopsTheRecording) {
    toRecording();
    answerStopAtOnce_ = false;
    engine_->answerStopAtOnce = false;
    ASSERT_TRUE(xdotool({"key", "super+shift+r"}));
    ASSERT_TRUE(sentinel_.settle());
    EXPECT_EQ(delegate_->phase(), Phase::stopping);
}

}  // namespace
}  // namespace vantorel::testing
