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

// Reveals through org.freedesktop.FileManager1.ShowItems on the session bus; when no file
// manager answers there, opens the containing folder with the desktop's default handler.
class FreedesktopFileBrowser final : public FileBrowser {
  public:
    void revealFile(const QString& path) override;
    void openFolder(const QString& path) override;
};

}  // namespace vantorel
