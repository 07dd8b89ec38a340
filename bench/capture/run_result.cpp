#include "run_result.h"

namespace vantorel::bench {

void addKeyValue(KeyValues& values, const std::string& line) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return;
    }
    auto trim = [](std::string text) {
        const size_t first = text.find_first_not_of(" \t\r");
        const size_t last = text.find_last_not_of(" \t\r");
        return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    };
    values[trim(line.substr(0, equals))] = trim(line.substr(equals + 1));
}

std::optional<int64_t> integerOf(const KeyValues& values, const std::string& key) {
    const auto it = values.find(key);
    if (it == values.end()) {
        return std::nullopt;
    }
    try {
        return std::stoll(it->second);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<double> numberOf(const KeyValues& values, const std::string& key) {
    const auto it = values.find(key);
    if (it == values.end()) {
        return std::nullopt;
    }
    try {
        return std::stod(it->second);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace vantorel::bench
