#pragma once

#include <QString>

#include <deque>
#include <optional>
#include <vector>

#include "platform/file_browser.h"
#include "platform/presenter.h"

namespace vantorel::testing {

// Records every dialog and answers from a script: the next queued button index, else 0.
class FakePresenter final : public Presenter {
  public:
    int runAlert(const AlertRequest& request) override {
        alerts.push_back(request);
        if (answers.empty()) {
            return 0;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> chooseFolder(const FolderChooserRequest&) override { return {}; }

    std::vector<AlertRequest> alerts;
    std::deque<int> answers;
};

class FakeFileBrowser final : public FileBrowser {
  public:
    void revealFile(const QString& path) override { revealed.push_back(path); }
    void openFolder(const QString& path) override { opened.push_back(path); }

    std::vector<QString> revealed;
    std::vector<QString> opened;
};

}  // namespace vantorel::testing
