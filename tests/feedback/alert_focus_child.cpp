#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/qt_presenter.h"

// The two programs of alert_focus_test on the X server in DISPLAY:
//   alert_focus_child editor   another program's text field
//   alert_focus_child alert    prints "ready"; at a line on standard input raises an alert, then is
//                              busy until the next line; exits with the index of the answer
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "editor") == 0) {
        QLineEdit editor;
        editor.setWindowTitle("editor");
        editor.show();
        return QApplication::exec();
    }
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        input.setEnabled(false);
        std::string line;
        std::getline(std::cin, line);
        // Runs in the alert's own event loop, once the window has been asked for.
        QTimer::singleShot(0, [] {
            std::string next;
            std::getline(std::cin, next);
        });
        vantorel::QtPresenter presenter;
        QApplication::exit(presenter.runAlert(vantorel::AlertRequest{
            .title = "Recording stopped",
            .message = "The disk is almost full.",
            .buttons = {"OK", "Show Details"},
        }));
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
