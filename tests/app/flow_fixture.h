#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTemporaryDir>

#include "app/recording_flow.h"
#include "event_loop.h"
#include "fake_capture.h"
#include "fake_presenter.h"
#include "feedback/notifier.h"
#include "gtest_qt_printing.h"
#include "platform/preference_store.h"
#include "prefs/preferences.h"

// The recording flow with the real Recorder on stand-ins for the capture and the writer, and
// stand-ins for its windows that log what the flow does with them.
namespace vantorel::testing {

using namespace std::chrono_literals;

// The overlay, the countdown, the outline or the stop button.
class FakeWindow final : public StopButton, public CountdownPanel {
  public:
    FakeWindow(QStringList& log, const QString& name) : log_(log), name_(name) {}
    void show(int number) override { log_ << QString::number(number); }
    void setNumber(int number) override { log_ << QString::number(number); }
    void showOnTop() override { log_ << name_ + " shown"; }
    void close() override { log_ << name_ + " closed"; }

  private:
    QStringList& log_;
    QString name_;
};

class FakeOverlay final : public SelectionOverlay {
  public:
    void show() override {}
    void cancel() override { emit cancelled(); }
    void close() override { closed = true; }
    bool closed = false;
};

class FakeNotifier final : public Notifier {
  public:
    void notifyFile(FileNews news, const QString& path) override {
        (news == FileNews::saved ? saved : recovered).push_back(path);
    }
    void notifyNotice(const QString& summary, const QString& body) override {
        notices << summary << body;
    }
    bool busy() const override { return false; }
    std::vector<QString> saved, recovered;
    QStringList notices;
};

class FlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Preferences::setDefaults(store_);
        store_.setString(Preferences::kSaveFolder, dir_.filePath("Brisolet"));
        store_.setInteger(Preferences::kCountdownSeconds, 0);
    }
    void TearDown() override {
        ownFlow_.reset();
        drainMainThread();
    }

    RecordingFlow::Services services() {
        RecordingFlow::Services s;
        s.store = &store_;
        s.presenter = &presenter_;
        s.notifier = &notifier_;
        s.windows.overlay = [this] {
            return std::unique_ptr<SelectionOverlay>(overlay_ = new FakeOverlay);
        };
        s.windows.countdown = [this](auto&) { return std::make_unique<FakeWindow>(log_, ""); };
        s.windows.outline = [this](auto&) { return std::make_unique<FakeWindow>(log_, "outline"); };
        s.windows.stopButton = [this](auto&) {
            return std::unique_ptr<StopButton>(button_ = room_ ? new FakeWindow(log_, "button")
                                                               : nullptr);
        };
        s.makeSource = [this] {
            source_ = new FakeCaptureSource(aftermath_);
            source_->startError = startError_;
            source_->holdsAnswer = holdsStart_;
            return std::unique_ptr<CaptureSource>(source_);
        };
        s.makeWriter = [this](auto& settings, auto& error) -> std::unique_ptr<Mp4Writer> {
            if ((error = createError_)) {
                return nullptr;
            }
            writer_ = new FakeMp4Writer(settings, aftermath_);
            writer_->openError = openError_;
            return std::unique_ptr<Mp4Writer>(writer_);
        };
        s.clock = std::make_shared<MonotonicClock>();
        s.freeBytes = [this](auto&) { return freeBytes_; };
        s.pacing.second = 40ms;
        return s;
    }
    void makeFlow() {
        ownFlow_ = std::make_unique<RecordingFlow>(services());
        flow_ = ownFlow_.get();
        QObject::connect(flow_, &RecordingFlow::quitReady, [this] { ++quitReady_; });
    }
    QString folder() const { return dir_.filePath("Brisolet"); }
    static Selection selection() {
        return {QGuiApplication::screens().last(), QRectF(10, 20, 640, 360), 1280, 720};
    }

    // Confirms a region; the capture starts after the flow's short wait.
    void confirm() {
        flow_->toggle();
        emit overlay_->confirmed(selection());
    }
    // A running recording with one picture written.
    void record() {
        confirm();
        ASSERT_TRUE(waitUntil([&] { return flow_->phase() == Phase::recording; }));
        source_->deliver(monotonicNowNs());
    }
    // Where a table's row starts from; a starting capture waits for the test's answer.
    enum class From { idle, selecting, counting, starting, recording, stopping };
    void reach(From from) {
        holdsStart_ = from == From::starting;
        source_ = nullptr;
        makeFlow();
        if (from == From::selecting) {
            flow_->toggle();
        } else if (from == From::counting || from == From::starting) {
            confirm();
            ASSERT_TRUE(!holdsStart_ || waitUntil([&] { return source_ != nullptr; }));
        } else if (from >= From::recording) {
            record();
            if (from == From::stopping) {
                flow_->toggle();
            }
        }
    }
    void finish() {
        ASSERT_TRUE(waitUntil([&] { return flow_->phase() == Phase::idle; }));
    }

    QTemporaryDir dir_;
    PreferenceStore store_{dir_.filePath("preferences.json")};
    FakePresenter presenter_;
    FakeNotifier notifier_;
    QStringList log_;
    bool room_ = true, holdsStart_ = false;
    std::optional<Error> startError_, openError_, createError_;
    std::optional<int64_t> freeBytes_ = int64_t{50'000'000'000};
    FakeOverlay* overlay_ = nullptr;
    FakeWindow* button_ = nullptr;
    Aftermath aftermath_;
    FakeCaptureSource* source_ = nullptr;
    FakeMp4Writer* writer_ = nullptr;
    std::unique_ptr<RecordingFlow> ownFlow_;
    RecordingFlow* flow_ = nullptr;
    int quitReady_ = 0;
};

}  // namespace vantorel::testing
