#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace vantorel::testing {

// A fresh empty folder under the temporary folder, removed with all it holds at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vantorel.XXXXXX").string();
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~ScratchFolder() { std::filesystem::remove_all(path_, ignored_); }

    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

}  // namespace vantorel::testing
