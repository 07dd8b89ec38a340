#include "pacat_player.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <numbers>

extern char** environ;

namespace vantorel::pulsetest {
namespace {

constexpr int kRate = 48000;

}  // namespace

PacatPlayer::PacatPlayer(const std::string& server, const std::string& sink) {
    // A pacat that dies must fail the write, not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    // A one-page pipe keeps what is written close to what is played, for latency readings.
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    std::vector<std::string> args{
        "pacat",        "--playback",       "--raw", "--format=float32le", "--rate=48000",
        "--channels=2", "--latency-msec=50"};
    if (!server.empty()) {
        args.push_back("--server=" + server);
    }
    if (!sink.empty()) {
        args.push_back("--device=" + sink);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    if (posix_spawnp(&pid_, "pacat", &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    input_ = fds[1];
}

PacatPlayer::~PacatPlayer() {
    finish();
}

bool PacatPlayer::write(const std::vector<float>& samples) {
    const auto* bytes = reinterpret_cast<const char*>(samples.data());
    size_t left = samples.size() * sizeof(float);
    while (left > 0 && input_ >= 0) {
        const ssize_t written = ::write(input_, bytes, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        left -= static_cast<size_t>(written);
    }
    return left == 0;
}

int PacatPlayer::finish() {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<float> stereoTone(double leftHz, double rightHz, double seconds, float amplitude) {
    const auto frames = static_cast<size_t>(seconds * kRate);
    std::vector<float> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        samples[2 * i] =
            amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * leftHz * t));
        samples[2 * i + 1] =
            amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * rightHz * t));
    }
    return samples;
}

std::vector<float> stereoSilence(double seconds) {
    return std::vector<float>(static_cast<size_t>(seconds * kRate) * 2, 0.0f);
}

}  // namespace vantorel::pulsetest
