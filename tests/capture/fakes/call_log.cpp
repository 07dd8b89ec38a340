#include "capture/fakes/call_log.h"

#include <algorithm>

namespace vantorel::testing {

void CallLog::add(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<std::string> CallLog::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

bool CallLog::contains(const std::string& call) const {
    return indexOf(call) >= 0;
}

int CallLog::indexOf(const std::string& call) const {
    std::lock_guard lock(mutex_);
    const auto found = std::find(calls_.begin(), calls_.end(), call);
    return found == calls_.end() ? -1 : static_cast<int>(found - calls_.begin());
}

}  // namespace vantorel::testing
