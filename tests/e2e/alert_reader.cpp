#include "alert_reader.h"

namespace vantorel::e2e {

namespace {

// The icon occupies the left part of a message box; texts begin to the right of it.
constexpr int kTextColumn = 56;
constexpr int kInk = 80;

// xdotool matches names with POSIX extended expressions, which know no escaped spaces or quotes.
QString escapedForXdotool(const QString& text) {
    QString escaped;
    for (QChar c : text) {
        if (QStringLiteral(".^$*+?()[]{}|\\").contains(c)) {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

bool inkAt(const QImage& image, int x, int y) {
    return luminance(image.pixel(x, y)) < kInk;
}

}  // namespace

std::optional<AlertReader> AlertReader::waitFor(const QString& title,
                                                std::chrono::milliseconds ceiling) {
    std::optional<WindowId> found;
    const QString pattern = "^" + escapedForXdotool(title) + "$";
    waitUntil(
        [&] {
            const QList<WindowId> windows = visibleWindowsNamed(pattern);
            if (!windows.isEmpty() && windowRect(windows.first())) {
                found = windows.first();
            }
            return found.has_value();
        },
        ceiling, 100ms);
    if (!found) {
        return std::nullopt;
    }
    AlertReader reader(*found);
    // Wait for its texts to be painted before anyone reads them.
    waitUntil(
        [&] {
            const std::optional<QRect> rect = windowRect(*found);
            return rect && reader.inkBlocks(*rect).size() >= 2;
        },
        10s, 100ms);
    return reader;
}

QList<AlertReader::Block> AlertReader::inkBlocks(const QRect& rect) const {
    const QImage image = grabScreen(rect);
    QList<Block> blocks;
    int gap = 1000;
    for (int y = 0; y < image.height(); ++y) {
        int first = -1;
        for (int x = kTextColumn; x < image.width() - 4; ++x) {
            if (inkAt(image, x, y)) {
                first = x;
                break;
            }
        }
        if (first < 0) {
            ++gap;
            continue;
        }
        // Lines of one label are a few pixels apart; labels and the button row further.
        if (gap > 8 || blocks.isEmpty()) {
            blocks.append(Block{y, y, first});
        }
        blocks.last().bottom = y;
        blocks.last().firstInkX = std::min(blocks.last().firstInkX, first);
        gap = 0;
    }
    for (Block& block : blocks) {
        block.top += rect.top();
        block.bottom += rect.top();
        block.firstInkX += rect.left();
    }
    return blocks;
}

QStringList AlertReader::texts() {
    const std::optional<QRect> rect = windowRect(window_);
    if (!rect) {
        return {};
    }
    QList<Block> blocks = inkBlocks(*rect);
    blocks.removeLast();  // the buttons: a click there would press one
    QStringList texts;
    for (const Block& block : blocks) {
        const QString before = selectionText(QClipboard::Selection);
        // On the first glyph of the label's first line.
        tripleClick(QPoint(block.firstInkX + 2, block.top + 4));
        QString text;
        waitUntil(
            [&] {
                text = selectionText(QClipboard::Selection);
                return !text.isEmpty() && text != before;
            },
            3s);
        texts.append(text);
    }
    return texts;
}

void AlertReader::clickRightmostButton() {
    const std::optional<QRect> rect = windowRect(window_);
    if (!rect) {
        return;
    }
    const Block buttons = inkBlocks(*rect).last();
    const QImage image = grabScreen(*rect);
    const int y = (buttons.top + buttons.bottom) / 2 - rect->top();
    // The caption of the last button ends at the rightmost ink of the row.
    int right = -1;
    for (int x = image.width() - 6; x >= kTextColumn && right < 0; --x) {
        for (int dy = buttons.top - rect->top(); dy <= buttons.bottom - rect->top(); ++dy) {
            if (inkAt(image, x, dy)) {
                right = x;
                break;
            }
        }
    }
    if (right >= 0) {
        click(QPoint(rect->left() + right - 6, rect->top() + y));
    }
}

QString AlertReader::detailsFieldText() {
    const std::optional<QRect> rect = windowRect(window_);
    if (!rect) {
        return {};
    }
    // The field fills the lower part of the box; a click there gives it the keyboard.
    click(QPoint(rect->center().x(), rect->bottom() - 50));
    const QString before = selectionText(QClipboard::Clipboard);
    pressKeys({"ctrl+a", "ctrl+c"});
    QString text;
    waitUntil(
        [&] {
            text = selectionText(QClipboard::Clipboard);
            return text != before;
        },
        3s);
    return text;
}

void AlertReader::pressKey(const QString& key) {
    activate(window_);
    pressKeys({key});
}

bool AlertReader::gone() const {
    return !windowRect(window_).has_value();
}

}  // namespace vantorel::e2e
