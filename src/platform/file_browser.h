#pragma once

#include <QString>

namespace vantorel {

// The desktop's file browser. Main thread only.
class FileBrowser {
  public:
    virtual ~FileBrowser() = default;
    // Shows the file selected in its folder.
    virtual void revealFile(const QString& path) = 0;
    // Opens a folder.
    virtual void openFolder(const QString& path) = 0;
};

}  // namespace vantorel
