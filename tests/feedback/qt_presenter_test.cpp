#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/qt_presenter.h"

namespace vantorel {
namespace {

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
        for (QAbstractButton* button : box->buttons()) {
            seenButtons.append(button->text());
        }
        EXPECT_EQ(box->defaultButton()->text(), "Open System Settings");
        buttonTitled(dialog, "Not Now")->click();
    });
    const int answer = presenter.runAlert(AlertRequest{AlertStyle::informational,
                                                       "Title",
                                                       "Message",
                                                       {"Open System Settings", "Not Now"},
                                                       std::nullopt});
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(seenText, "Title");
    EXPECT_EQ(seenInformative, "Message");
    EXPECT_EQ(seenButtons.size(), 2);
}

TEST(QtPresenter, DetailsAreASelectableMonospacedFieldOfTheGivenSize) {
    QtPresenter presenter;
    bool checked = false;
    whenDialogOpens([&](QWidget* dialog) {
        auto* field = dialog->findChild<QPlainTextEdit*>("detailsField");
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->toPlainText(), "Error Domain=POSIX Code=28");
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
    EXPECT_EQ(presenter.runAlert(AlertRequest{AlertStyle::warning,
                                              "Details",
                                              "x",
                                              {"OK"},
                                              AlertDetailsView{"Error Domain=POSIX Code=28"}}),
              0);
    EXPECT_TRUE(checked);
}

TEST(QtPresenter, ClosingWithEscapeIsNotTheFirstButton) {
    QtPresenter presenter;
    whenDialogOpens([](QWidget* dialog) { qobject_cast<QMessageBox*>(dialog)->reject(); });
    EXPECT_NE(presenter.runAlert(AlertRequest{
                  AlertStyle::informational, "T", "M", {"Open", "Not Now"}, std::nullopt}),
              0);
}

}  // namespace
}  // namespace vantorel
