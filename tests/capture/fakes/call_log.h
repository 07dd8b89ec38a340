#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace vantorel::testing {

// The calls that fakes received, in the order they arrived, shared between the fakes of one
// test so that the order across objects can be checked. Called on any thread.
class CallLog {
  public:
    void add(std::string call);
    std::vector<std::string> calls() const;
    bool contains(const std::string& call) const;
    // Position of the first such call, or -1.
    int indexOf(const std::string& call) const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace vantorel::testing
