#pragma once

#include <string>

namespace vantorel {

// Where and how the system sound is recorded.
struct PulseSourceOptions {
    // A libpulse server string such as "unix:/run/user/1000/pulse/native"; empty means the
    // server the environment names (PULSE_SERVER, client.conf, the user's runtime directory).
    std::string server;
    // The size of the blocks the server sends. Left to itself the server sends about two
    // seconds at a time, far too coarse to keep sound next to the pictures.
    int fragmentMilliseconds = 10;
};

}  // namespace vantorel
