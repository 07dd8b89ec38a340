#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <utility>

#include "app/app_delegate.h"
#include "app_fakes.h"
#include "event_loop.h"
#include "fake_presenter.h"
#include "platform/preference_store.h"
#include "prefs/preferences.h"

namespace vantorel::testing {

using namespace std::chrono_literals;

// An application controller wired to stand-ins, with helpers that walk it through the flow.
class FlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_FALSE(QGuiApplication::screens().isEmpty());
        store_.setString(Preferences::kSaveFolder, saveFolder());
        store_.setInteger(Preferences::kCountdownSeconds, 0);
        captureService_->content.displays = {CaptureDisplay{3, {}, 1.0},
                                             CaptureDisplay{7, {}, 1.0}};
        captureService_->content.applications = {
            {kOwnPid, "vantorel"}, {42, "editor"}, {kOwnPid, "vantorel"}};
        delegate_ = std::make_unique<AppDelegate>(services());
        delegate_->applicationDidFinishLaunching();
    }
    void TearDown() override {
        delegate_.reset();
        drainMainThread();
    }

    static constexpr int64_t kOwnPid = 4242;

    AppServices services() {
        AppServices s;
        s.store = &store_;
        s.presenter = &presenter_;
        s.fileBrowser = &fileBrowser_;
        s.notifier = &notifier_;
        s.scheduler = &scheduler_;
        s.captureAccess = &access_;
        s.screens = [this] { return screens_; };
        s.makeStatusItem = [this](QMenu* menu) {
            auto item = std::make_unique<FakeStatusItem>(menu);
            statusItem_ = item.get();
            return item;
        };
        s.makeOverlay = [this](std::function<void(const Selection&)> onRecord,
                               std::function<void()> onCancel) {
            auto overlay =
                std::make_unique<FakeOverlay>(log_, std::move(onRecord), std::move(onCancel));
            overlay_ = overlay.get();
            return overlay;
        };
        s.makeCountdown = [this](const Selection&) {
            return std::make_unique<FakeCountdown>(log_);
        };
        s.makeOutline = [this](QScreen*, const QRectF&) {
            return std::make_unique<FakeIndicator>(log_, "outline");
        };
        s.makePill = [this](QScreen*, const QRectF&,
                            std::function<void()> action) -> std::unique_ptr<IndicatorWindow> {
            pillAction_ = std::move(action);
            if (!pillHasRoom_) {
                return nullptr;
            }
            return std::make_unique<FakeIndicator>(log_, "pill");
        };
        s.captureService = captureService_;
        s.makeEngine = [this] {
            engine_ = std::make_shared<FakeEngine>();
            engine_->answerStartAtOnce = answerStartAtOnce_;
            engine_->answerStopAtOnce = answerStopAtOnce_;
            engine_->startError = startError_;
            engine_->stopResult = stopResult_;
            return engine_;
        };
        s.displayId = [this](QScreen*) { return displayNumber_; };
        s.freeBytes = [this](const QString& folder) {
            freeBytesAskedFor_ = folder;
            return freeBytes_;
        };
        s.terminate = [this] { ++terminations_; };
        s.processId = kOwnPid;
        return s;
    }

    QString saveFolder() const { return dir_.filePath("Brisolet"); }
    QString savedFile() const {
        return QDir(saveFolder()).filePath("Screen Recording 2025-01-31 at 09.05.07.mp4");
    }

    Selection selection() const {
        return Selection{QGuiApplication::screens().first(), QRectF(10, 20, 640, 360), 1280, 720};
    }

    void toSelecting() {
        delegate_->menuToggle();
        ASSERT_EQ(delegate_->phase(), Phase::selecting);
    }
    // Confirms a region and lets the 0.2 s wait and the capture start run.
    void toRecording() {
        toSelecting();
        overlay_->confirm(selection());
        scheduler_.advance(200ms);
        drainMainThread();
        ASSERT_EQ(delegate_->phase(), Phase::recording);
    }
    void keepSavedFile() { stopResult_ = StopResult{savedFile().toStdString(), nullptr}; }
    void answerStop(const StopResult& result) {
        std::exchange(engine_->pendingStop, nullptr)(result);
        drainMainThread();
    }
    std::vector<QString> alertTitles() const {
        std::vector<QString> titles;
        for (const AlertRequest& a : presenter_.alerts) {
            titles.push_back(a.title);
        }
        return titles;
    }

    QTemporaryDir dir_;
    PreferenceStore store_{dir_.filePath("config/preferences.json")};
    FakePresenter presenter_;
    FakeFileBrowser fileBrowser_;
    FakeNotifier notifier_;
    FakeScheduler scheduler_;
    FakeCaptureAccess access_;
    PartsLog log_;
    std::shared_ptr<FakeCaptureService> captureService_ = std::make_shared<FakeCaptureService>();
    QList<QScreen*> screens_ = QGuiApplication::screens();
    std::optional<uint32_t> displayNumber_ = 7;
    std::optional<int64_t> freeBytes_ = int64_t{50'000'000'000};
    std::optional<QString> freeBytesAskedFor_;
    bool pillHasRoom_ = true;
    bool answerStartAtOnce_ = true;
    bool answerStopAtOnce_ = true;
    ErrorRef startError_;
    StopResult stopResult_;
    int terminations_ = 0;

    std::unique_ptr<AppDelegate> delegate_;
    FakeStatusItem* statusItem_ = nullptr;
    FakeOverlay* overlay_ = nullptr;
    std::shared_ptr<FakeEngine> engine_;
    std::function<void()> pillAction_;
};

}  // namespace vantorel::testing
