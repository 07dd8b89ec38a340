#pragma once

#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/flow_parts.h"
#include "app/scheduler.h"
#include "app/status_item.h"
#include "capture/capture_engine.h"
#include "feedback/notifier.h"
#include "platform/capture_service.h"

namespace vantorel::testing {

// Virtual time: tasks run only when the test advances the clock.
class FakeScheduler final : public Scheduler {
  public:
    struct Entry {
        int64_t dueMs;
        int64_t periodMs;  // 0 for one-shot
        QPointer<QObject> context;
        bool hasContext;
        std::function<void()> task;
        std::shared_ptr<bool> alive;
    };

    void after(std::chrono::milliseconds delay, QObject* context,
               std::function<void()> task) override {
        entries_.push_back({nowMs_ + delay.count(), 0, context, context != nullptr, std::move(task),
                            std::make_shared<bool>(true)});
    }
    std::unique_ptr<RepeatingTimer> every(std::chrono::milliseconds interval,
                                          std::function<void()> task) override {
        auto alive = std::make_shared<bool>(true);
        entries_.push_back(
            {nowMs_ + interval.count(), interval.count(), nullptr, false, std::move(task), alive});
        return std::make_unique<Timer>(alive);
    }
    QDateTime now() const override { return origin_.addMSecs(nowMs_); }

    // Moves the clock forward, running every task that falls due on the way, in time order.
    void advance(std::chrono::milliseconds by) {
        const int64_t target = nowMs_ + by.count();
        for (;;) {
            auto next =
                std::min_element(entries_.begin(), entries_.end(),
                                 [](const Entry& a, const Entry& b) { return a.dueMs < b.dueMs; });
            if (next == entries_.end() || next->dueMs > target) {
                break;
            }
            Entry entry = *next;
            entries_.erase(next);
            nowMs_ = entry.dueMs;
            if (!*entry.alive || (entry.hasContext && !entry.context)) {
                continue;
            }
            if (entry.periodMs > 0) {
                Entry again = entry;
                again.dueMs += entry.periodMs;
                entries_.push_back(again);
            }
            entry.task();
        }
        nowMs_ = target;
    }
    int activeRepeatingTimers() const {
        return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) {
            return e.periodMs > 0 && *e.alive;
        }));
    }

  private:
    struct Timer final : RepeatingTimer {
        explicit Timer(std::shared_ptr<bool> a) : alive(std::move(a)) {}
        ~Timer() override { *alive = false; }
        std::shared_ptr<bool> alive;
    };

    QDateTime origin_{QDate(2025, 1, 31), QTime(9, 5, 7)};
    int64_t nowMs_ = 0;
    std::vector<Entry> entries_;
};

class FakeStatusItem final : public StatusItem {
  public:
    explicit FakeStatusItem(QMenu* itsMenu) : menu(itsMenu) {}
    void setLook(const StatusLook& newLook) override {
        look = newLook;
        ++updates;
    }
    bool inPanel() const override { return panelPresent; }
    QMenu* menu;
    StatusLook look;
    int updates = 0;
    bool panelPresent = true;
};

// A log of what the flow did with its parts, shared by all the stand-ins of one test.
struct PartsLog {
    std::vector<std::string> events;
    bool contains(const std::string& e) const {
        return std::find(events.begin(), events.end(), e) != events.end();
    }
    long count(const std::string& e) const { return std::count(events.begin(), events.end(), e); }
};

class FakeOverlay final : public SelectionOverlay {
  public:
    FakeOverlay(PartsLog& log, std::function<void(const Selection&)> onRecord,
                std::function<void()> onCancel)
        : log_(log), onRecord_(std::move(onRecord)), onCancel_(std::move(onCancel)) {}
    ~FakeOverlay() override { log_.events.push_back("overlay released"); }
    void show() override { log_.events.push_back("overlay shown"); }
    void cancel() override {
        if (closed_) {
            return;
        }
        closed_ = true;
        log_.events.push_back("overlay cancelled");
        onCancel_();
    }
    void close() override {
        closed_ = true;
        log_.events.push_back("overlay closed");
    }
    // The user confirms: the overlay closes itself, then reports the region.
    void confirm(const Selection& selection) {
        close();
        onRecord_(selection);
    }

  private:
    PartsLog& log_;
    std::function<void(const Selection&)> onRecord_;
    std::function<void()> onCancel_;
    bool closed_ = false;
};

class FakeCountdown final : public CountdownPanel {
  public:
    explicit FakeCountdown(PartsLog& log) : log_(log) {}
    void show(int number) override { log_.events.push_back("countdown " + std::to_string(number)); }
    void setNumber(int number) override {
        log_.events.push_back("countdown " + std::to_string(number));
    }
    void close() override { log_.events.push_back("countdown closed"); }

  private:
    PartsLog& log_;
};

class FakeIndicator final : public IndicatorWindow {
  public:
    FakeIndicator(PartsLog& log, std::string name) : log_(log), name_(std::move(name)) {}
    void orderFront() override { log_.events.push_back(name_ + " front"); }
    void close() override { log_.events.push_back(name_ + " closed"); }

  private:
    PartsLog& log_;
    std::string name_;
};

// An engine whose start and stop answer at once, or when the test says so.
class FakeEngine final : public CaptureEngine {
  public:
    void setOnFailure(FailureCallback callback) override { onFailure = std::move(callback); }
    void start(const RecorderConfig& startConfig, StartCompletion completion) override {
        config = startConfig;
        ++starts;
        if (answerStartAtOnce) {
            completion(startError);
        } else {
            pendingStart = std::move(completion);
        }
    }
    void stop(StopCompletion completion) override {
        ++stops;
        if (answerStopAtOnce) {
            completion(stopResult);
        } else {
            pendingStop = std::move(completion);
        }
    }

    RecorderConfig config;
    FailureCallback onFailure;
    bool answerStartAtOnce = true;
    bool answerStopAtOnce = true;
    ErrorRef startError;
    StopResult stopResult;
    StartCompletion pendingStart;
    StopCompletion pendingStop;
    int starts = 0;
    int stops = 0;
};

class FakeCaptureService final : public CaptureService {
  public:
    void getShareableContent(bool excludingDesktopWindows, bool onScreenWindowsOnly,
                             ShareableContentCompletion completion) override {
        lastExcludingDesktop = excludingDesktopWindows;
        lastOnScreenOnly = onScreenWindowsOnly;
        if (error) {
            completion(std::nullopt, error);
        } else {
            completion(content, nullptr);
        }
    }
    std::shared_ptr<CaptureStream> makeStream(ContentFilterRef, const StreamConfiguration&,
                                              std::weak_ptr<StreamDelegate>) override {
        return nullptr;
    }

    ShareableContent content;
    ErrorRef error;
    bool lastExcludingDesktop = true;
    bool lastOnScreenOnly = false;
};

class FakeNotifier final : public Notifier {
  public:
    void setup() override { ++setups; }
    void notifySaved(const QString& path) override { saved.push_back(path); }
    void notifyNotice(const QString& summary, const QString& body) override {
        notices.push_back(summary + '\n' + body);
    }
    std::vector<QString> notices;
    bool busy() const override { return false; }
    std::vector<QString> saved;
    int setups = 0;
};

class FakeCaptureAccess final : public ScreenCaptureAccess {
  public:
    bool preflight() override { return allowed; }
    void request() override { ++requests; }
    bool openSettings() override {
        ++settingsOpened;
        return true;
    }
    bool allowed = true;
    int requests = 0;
    int settingsOpened = 0;
};

}  // namespace vantorel::testing
