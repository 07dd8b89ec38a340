#pragma once

#include "platform/file_browser.h"

namespace vantorel {

// Reveals through org.freedesktop.FileManager1.ShowItems on the session bus; when no file
// manager answers there, opens the containing folder with the desktop's default handler.
class FreedesktopFileBrowser final : public FileBrowser {
  public:
    void revealFile(const QString& path) override;
    void openFolder(const QString& path) override;
};

}  // namespace vantorel
