#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

#include "event_loop.h"
#include "fake_presenter.h"
#include "feedback/alerts.h"
#include "gtest_qt_printing.h"
#include "platform/qt_presenter.h"

namespace vantorel {
namespace {

using testing::FakeFileBrowser;

// Answers the next modal dialog from inside its own event loop.
void whenDialogOpens(const std::function<void(QWidget*)>& act) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start();
}

QPushButton* buttonTitled(QWidget* dialog, const QString& title) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == title) {
            return button;
        }
    }
    return nullptr;
}

bool xdotool(const QStringList& arguments) {
    return QProcess::execute("xdotool", arguments) == 0;
}

// Answers every alert that opens while it lives with a key pressed on the X server, after a
// click on the alert has given it the keyboard. An alert that never gets the keyboard fails the
// test and is ended without an answer.
class KeyAnswerer {
  public:
    explicit KeyAnswerer(const QString& key) {
        poll_.setInterval(20);
        QObject::connect(&poll_, &QTimer::timeout, [key] {
            QPointer<QWidget> box = QApplication::activeModalWidget();
            if (box == nullptr || box->property("answered").toBool()) {
                return;
            }
            box->setProperty("answered", true);
            xdotool({"windowactivate", "--sync", QString::number(box->winId())});
            if (!testing::waitUntil([&] { return box == nullptr || box->isActiveWindow(); })) {
                ADD_FAILURE() << box->windowTitle().toStdString() << " never got the keyboard";
                qobject_cast<QDialog*>(box.data())->reject();
                return;
            }
            xdotool({"key", key});
        });
        poll_.start();
    }

  private:
    QTimer poll_;
};

// The real presenter, noting each alert's title and answer.
class RecordingPresenter final : public Presenter {
  public:
    void activateApplication() override { real_.activateApplication(); }
    int runAlert(const AlertRequest& request) override {
        const int answer = real_.runAlert(request);
        answers.append(request.title + ": " + request.buttons.value(answer, "none"));
        return answer;
    }
    std::optional<QString> chooseFolder(const FolderChooserRequest& request) override {
        return real_.chooseFolder(request);
    }

    QStringList answers;

  private:
    QtPresenter real_;
};

bool onTheSessionsXServer() {
    return QGuiApplication::platformName() == "xcb";
}

TEST(QtPresenter, RunsAnAlertWithButtonsInOrderAndReportsTheChoice) {
    QtPresenter presenter;
    QStringList seenButtons;
    QString seenText;
    QString seenInformative;
    whenDialogOpens([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenInformative = box->informativeText();
        QList<QAbstractButton*> buttons = box->buttons();
        std::ranges::sort(buttons, {},
                          [](QAbstractButton* b) { return b->mapToGlobal(QPoint()).x(); });
        for (QAbstractButton* button : buttons) {
            seenButtons.append(button->text());
        }
        EXPECT_EQ(box->defaultButton()->text(), "Open System Settings");
        buttonTitled(dialog, "Not Now")->click();
    });
    const int answer =
        presenter.runAlert(AlertRequest{.style = AlertStyle::informational,
                                        .title = "Title",
                                        .message = "Message",
                                        .buttons = {"Open System Settings", "Not Now"},
                                        .escapeButton = 1});
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(seenText, "Title");
    EXPECT_EQ(seenInformative, "Message");
    EXPECT_EQ(seenButtons, QStringList({"Open System Settings", "Not Now"})) << "left to right";
}

TEST(QtPresenter, DetailsAreASelectableMonospacedFieldOfTheGivenSize) {
    QtPresenter presenter;
    bool checked = false;
    whenDialogOpens([&](QWidget* dialog) {
        auto* field = dialog->findChild<QPlainTextEdit*>("detailsField");
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->toPlainText(), "No space left on device");
        EXPECT_TRUE(field->isReadOnly());
        EXPECT_TRUE(field->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_EQ(field->size(), QSize(440, 160));
        EXPECT_TRUE(QFontInfo(field->font()).fixedPitch());
        QPushButton* ok = buttonTitled(dialog, "OK");
        EXPECT_LT(field->mapTo(dialog, QPoint(0, field->height())).y(),
                  ok->mapTo(dialog, QPoint(0, 0)).y())
            << "the buttons stay below the details";
        checked = true;
        ok->click();
    });
    EXPECT_EQ(
        presenter.runAlert(AlertRequest{.title = "Details",
                                        .message = "x",
                                        .buttons = {"OK"},
                                        .details = AlertDetailsView{"No space left on device"}}),
        0);
    EXPECT_TRUE(checked);
}

// Escape, or closing the window (Alt+F4 is openbox's Close, as the title bar's button), leaves
// things as they are: no details, no settings, no file browser.
TEST(QtPresenter, EscapeOrClosingTheWindowAnswersTheButtonThatChangesNothing) {
    if (!onTheSessionsXServer()) {
        GTEST_SKIP() << "run inside scripts/headless-session.sh";
    }
    FakeFileBrowser browser;
    struct Kind {
        const char* name;
        std::function<bool(Presenter&)> run;  // true when the alert went on to act
        QString answer;
    };
    const Kind kinds[] = {
        {"error",
         [](Presenter& p) {
             Alerts::error(p, "No display found", "M", QString("x"));
             return false;
         },
         "No display found: OK"},
        {"details",
         [](Presenter& p) {
             Alerts::showDetails(p, "x");
             return false;
         },
         "Details: OK"},
        {"permission", [](Presenter& p) { return Alerts::permissionNeeded(p); },
         "Screen recording permission needed: OK"},
        {"saved",
         [&browser](Presenter& p) {
             Alerts::saved(p, browser, "/v/a.mp4");
             return !browser.revealed.empty();
         },
         "Saved: OK"},
    };

    for (const QString key : {"Escape", "alt+F4"}) {
        for (const Kind& kind : kinds) {
            SCOPED_TRACE(key.toStdString() + " on " + kind.name);
            RecordingPresenter presenter;
            KeyAnswerer answerer(key);
            EXPECT_FALSE(kind.run(presenter));
            EXPECT_EQ(presenter.answers, QStringList{kind.answer});
        }
    }
}

}  // namespace
}  // namespace vantorel
