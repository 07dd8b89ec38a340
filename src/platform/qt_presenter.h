#pragma once

#include "platform/presenter.h"

namespace vantorel {

// Dialogs as QMessageBox and QFileDialog, run modally.
class QtPresenter final : public Presenter {
  public:
    int runAlert(const AlertRequest& request) override;
    std::optional<QString> chooseFolder(const FolderChooserRequest& request) override;
};

}  // namespace vantorel
