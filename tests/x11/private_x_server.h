#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vantorel::testing {

// An Xvfb of the test's own, for tests that take the server's monitors away or kill it.
// The server picks a free display number itself and reports it once it accepts clients.
class PrivateXServer {
  public:
    PrivateXServer(int width, int height);
    ~PrivateXServer();

    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& displayName() const { return displayName_; }
    // Kills the server at once and waits until it has gone.
    void kill();

    // Adds a RandR monitor named `name` at this root rectangle (through xrandr); deletes one by
    // name.
    void setMonitor(const std::string& name, int x, int y, int width, int height);
    void deleteMonitor(const std::string& name);

  private:
    void runXrandr(const std::vector<std::string>& arguments) const;

    pid_t pid_ = -1;
    std::string displayName_;
};

}  // namespace vantorel::testing
