#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "scene_window.h"

// Shows a scene window until the test ends it; the test looks at the screen to know it is up.
//   vantorel_e2e_scene --mode still|noise|clock --rect x,y,w,h --margin m
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"mode", "still, noise or clock", "mode", "still"});
    parser.addOption({"rect", "x,y,w,h of the region", "rect"});
    parser.addOption({"margin", "width of the band round it", "pixels", "16"});
    parser.process(app);

    const QStringList parts = parser.value("rect").split(',');
    if (parts.size() != 4) {
        std::fprintf(stderr, "--rect x,y,w,h is required\n");
        return 2;
    }
    const QRect region(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    const QString modeName = parser.value("mode");
    const vantorel::e2e::SceneMode mode = modeName == "noise"   ? vantorel::e2e::SceneMode::noise
                                          : modeName == "clock" ? vantorel::e2e::SceneMode::clock
                                                                : vantorel::e2e::SceneMode::still;
    vantorel::e2e::SceneWindow window(mode, region, parser.value("margin").toInt());
    window.show();
    return QApplication::exec();
}
