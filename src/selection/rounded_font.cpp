#include "selection/rounded_font.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace vantorel {

namespace {

QString findRoundedFamily() {
    static const QStringList preferred = {
        QStringLiteral("SF Pro Rounded"),        QStringLiteral("Nunito"),
        QStringLiteral("M PLUS Rounded 1c"),     QStringLiteral("Varela Round"),
        QStringLiteral("Arial Rounded MT Bold"),
    };
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    for (const QString& family : installed) {
        if (family.contains(QStringLiteral("Rounded"), Qt::CaseInsensitive)) {
            return family;
        }
    }
    return {};
}

// Looked up once: the label is painted on every pointer move while dragging.
const QString& roundedFamily() {
    static const QString family = findRoundedFamily();
    return family;
}

}  // namespace

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont withPixelSize(QFont font, double pixelSize, const QPaintDevice& device) {
    font.setPointSizeF(pixelSize * 72.0 / device.logicalDpiY());
    return font;
}

QFont roundedFont(int pixelSize, QFont::Weight weight) {
    QFont font = systemFont(pixelSize, weight);
    const QString family = roundedFamily();
    if (!family.isEmpty()) {
        font.setFamily(family);
    }
    return font;
}

}  // namespace vantorel
