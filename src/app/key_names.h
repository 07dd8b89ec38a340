#pragma once

#include <QTranslator>

namespace vantorel {

// Qt names the key that holds the Windows logo "Meta" in shortcut texts; Linux desktops call it
// Super, and so does every other program's menu there. Installed once on the application, it
// makes shortcuts read "Super+Shift+R".
class LinuxKeyNames final : public QTranslator {
    Q_OBJECT

  public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
};

}  // namespace vantorel
