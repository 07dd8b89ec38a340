// Opens the selection overlay on every screen for trying it by hand or from a script: prints the
// chosen region (or "cancelled") and exits. A last size given as two arguments is offered as
// "Last used".
#include "selection/selection_overlay_controller.h"

#include <QApplication>

#include <cstdio>
#include <optional>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::optional<std::pair<int64_t, int64_t>> last;
    if (argc == 3) {
        last = std::make_pair(QByteArray(argv[1]).toLongLong(), QByteArray(argv[2]).toLongLong());
    }
    vantorel::SelectionOverlayController controller(
        [](const vantorel::Selection& selection) {
            std::printf("selected %s %g,%g %gx%g points = %lldx%lld pixels\n",
                        selection.screen ? qPrintable(selection.screen->name()) : "?",
                        selection.rect.x(), selection.rect.y(), selection.rect.width(),
                        selection.rect.height(), static_cast<long long>(selection.pixelWidth),
                        static_cast<long long>(selection.pixelHeight));
            QApplication::quit();
        },
        [] {
            std::printf("cancelled\n");
            QApplication::quit();
        },
        [&] { return last; });
    controller.show();
    return QApplication::exec();
}
