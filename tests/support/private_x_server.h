#pragma once

#include <sys/types.h>

#include <string>

namespace vantorel::testing {

// An Xvfb of the test's own, for tests that take its monitors away or kill it. It picks a free
// display number itself and accepts clients once constructed.
class PrivateXServer {
  public:
    PrivateXServer(int width, int height);
    ~PrivateXServer() { kill(); }

    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& displayName() const { return displayName_; }
    // Kills the server at once and waits until it has gone.
    void kill();
    // Adds a RandR monitor at this root rectangle, or deletes one, through xrandr.
    void setMonitor(const std::string& name, int x, int y, int width, int height) const;
    void deleteMonitor(const std::string& name) const;

  private:
    pid_t pid_ = -1;
    std::string displayName_;
};

}  // namespace vantorel::testing
