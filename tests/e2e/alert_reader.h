#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

#include "desktop.h"

namespace vantorel::e2e {

// Reads a message box of another program as a user would: its title from the title bar, its
// texts by selecting them (a triple click selects a label's paragraph as the primary selection),
// its buttons by where their captions are.
class AlertReader {
  public:
    // Waits for a visible window with exactly this title.
    static std::optional<AlertReader> waitFor(const QString& title,
                                              std::chrono::milliseconds ceiling = 60s);

    WindowId window() const { return window_; }
    // The title and message labels, top to bottom.
    QStringList texts();
    // Clicks the button whose caption is furthest to the right ("Show Details" next to "OK").
    void clickRightmostButton();
    // The text of the scrolling details field (the "Details" box), through the clipboard.
    QString detailsFieldText();
    // Gives the box the keyboard and presses a key: Return for the default (first) button,
    // Escape for the one button that cancels.
    void pressKey(const QString& key);
    bool gone() const;

  private:
    explicit AlertReader(WindowId window) : window_(window) {}

    struct Block {
        int top = 0;
        int bottom = 0;
        int firstInkX = 0;
    };
    // Rows of dark ink right of the icon, grouped into labels; the last group is the buttons'.
    QList<Block> inkBlocks(const QRect& rect) const;

    WindowId window_;
};

}  // namespace vantorel::e2e
