#pragma once

#include <QObject>

#include "feedback/notifier.h"

namespace vantorel {

class FileBrowser;
class Presenter;

// Announces every save with the "Saved" alert, later on the main thread (never from inside the
// caller's own step). Used where no notification service can be reached.
class AlertNotifier final : public QObject, public Notifier {
    Q_OBJECT

  public:
    AlertNotifier(Presenter& presenter, FileBrowser& fileBrowser);

    void setup() override {}
    void notifySaved(const QString& path) override;

  private:
    Presenter& presenter_;
    FileBrowser& fileBrowser_;
};

}  // namespace vantorel
