#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "desktop_user.h"
#include "fake_presenter.h"
#include "feedback/alerts.h"
#include "platform/qt_presenter.h"

namespace vantorel::testing {
namespace {

// The real presenter, noting each alert's answer after pressing `key` on the X server once the
// window manager has given the alert the keyboard.
class KeyPresenter final : public Presenter {
  public:
    explicit KeyPresenter(QString key) : key_(std::move(key)) {}
    int runAlert(const AlertRequest& request) override {
        // Runs inside the alert's own event loop, pressing again while the alert stays up: a
        // window not yet mapped cannot be given the keyboard, and the key would be lost.
        QTimer presser;
        presser.callOnTimeout([this] {
            const QWidget* box = QApplication::activeModalWidget();
            if (box != nullptr && box->windowHandle() != nullptr &&
                box->windowHandle()->isExposed()) {
                pressKeyIn(box->winId(), key_);
            }
        });
        presser.start(std::chrono::milliseconds(300));
        const int answer = real_.runAlert(request);
        answers.append(request.buttons.value(answer, "none"));
        return answer;
    }
    std::optional<QString> chooseFolder(const FolderChooserRequest&) override { return {}; }

    QStringList answers;

  private:
    QString key_;
    QtPresenter real_;
};

// Escape, or closing the window (Alt+F4 is openbox's Close, as the title bar's button), leaves
// things as they are: no details, no file browser.
TEST(AlertKeys, EscapeOrClosingTheWindowAnswersTheButtonThatChangesNothing) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run in scripts/headless-session.sh";
    FakeFileBrowser browser;
    for (const QString key : {"Escape", "alt+F4"}) {
        KeyPresenter presenter(key);
        Alerts::error(presenter, "Error", "M", QString("details"));
        Alerts::showDetails(presenter, "No space left on device");
        Alerts::fileNews(presenter, browser, FileNews::saved, "/v/a.mp4");
        EXPECT_EQ(presenter.answers, QStringList({"OK", "OK", "OK"})) << key.toStdString();
    }
    EXPECT_TRUE(browser.revealed.empty());
}

}  // namespace
}  // namespace vantorel::testing
