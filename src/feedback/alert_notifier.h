#pragma once

#include <functional>

#include "feedback/notifier.h"

namespace vantorel {

class FileBrowser;
class Presenter;

// Announces every file with the "Saved" or "Recovered" alert, later on the main thread (never from
// inside the caller's own step). Used where no notification service can be reached.
class AlertNotifier final : public Notifier {
    Q_OBJECT

  public:
    AlertNotifier(Presenter& presenter, FileBrowser& fileBrowser);

    void notifyFile(FileNews news, const QString& path) override;
    void notifyNotice(const QString& summary, const QString& body) override;
    bool busy() const override { return waiting_ > 0; }

  private:
    // Shows `alert` later on the main thread, counted as busy until it is answered.
    void showLater(std::function<void(AlertNotifier&)> alert);

    Presenter& presenter_;
    FileBrowser& fileBrowser_;
    int waiting_ = 0;  // alerts asked for and not yet answered
};

}  // namespace vantorel
