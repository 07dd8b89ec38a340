#include "bench_options.h"

#include <sstream>
#include <stdexcept>

namespace vantorel::bench {

const char* const kUsage =
    "usage: vantorel_capture_bench [options]\n"
    "  --sizes WxH[,WxH...]        region sizes (default 1920x1080)\n"
    "  --rates N[,N...]            frame rates (default 30)\n"
    "  --workloads full,screencast what moves on screen (default full)\n"
    "  --seconds S                 length of each recording (default 10)\n"
    "  --at X,Y                    top-left corner of the region on the root (default 0,0)\n"
    "  --cursor 0|1                draw the pointer into the frames (default 1)\n"
    "  --order vantorel|ffmpeg     which recorder goes first (default vantorel)\n"
    "  --only vantorel|ffmpeg      run one recorder only (for profiling)\n"
    "  --animate-hz N              animation updates per second (default 2x rate; 60 screencast)\n"
    "  --settle S                  pause before each recording (default 1)\n"
    "  --keep DIR                  keep the recordings and logs in DIR\n"
    "  --writer-queue N            experiment: writer's video queue (0: the engine's, 5)\n"
    "  --encoder-nice N            experiment: nice value of the engine's encoder threads\n"
    "  --long-run MINUTES          the engine alone, full motion with sound, sampled each minute\n";

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

int whole(const std::string& text, const std::string& what, int least) {
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < least) {
        throw std::invalid_argument("bad " + what + ": " + text);
    }
    return value;
}

int positive(const std::string& text, const std::string& what) {
    return whole(text, what, 1);
}

double seconds(const std::string& text, const std::string& what) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < 0) {
        throw std::invalid_argument("bad " + what + ": " + text);
    }
    return value;
}

FrameSize frameSize(const std::string& text) {
    const auto parts = split(text, 'x');
    if (parts.size() != 2) {
        throw std::invalid_argument("bad size (WxH): " + text);
    }
    return FrameSize{positive(parts[0], "width"), positive(parts[1], "height")};
}

std::pair<int, int> corner(const std::string& text) {
    const auto parts = split(text, ',');
    if (parts.size() != 2) {
        throw std::invalid_argument("bad corner (X,Y): " + text);
    }
    return {static_cast<int>(seconds(parts[0], "x")), static_cast<int>(seconds(parts[1], "y"))};
}

Workload workload(const std::string& text) {
    if (text == "full") {
        return Workload::fullMotion;
    }
    if (text == "screencast") {
        return Workload::screencast;
    }
    throw std::invalid_argument("bad workload (full or screencast): " + text);
}

bool flag(const std::string& text) {
    if (text == "0" || text == "1") {
        return text == "1";
    }
    throw std::invalid_argument("bad switch (0 or 1): " + text);
}

}  // namespace

BenchOptions parseOptions(int argc, char** argv) {
    BenchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--engine") {
            options.engineMode = true;
            continue;
        }
        if (i + 1 >= argc) {
            throw std::invalid_argument("missing value after " + name);
        }
        const std::string value = argv[++i];
        if (name == "--sizes") {
            options.sizes.clear();
            for (const auto& part : split(value, ',')) {
                options.sizes.push_back(frameSize(part));
            }
        } else if (name == "--rates") {
            options.rates.clear();
            for (const auto& part : split(value, ',')) {
                options.rates.push_back(positive(part, "rate"));
            }
        } else if (name == "--workloads") {
            options.workloads.clear();
            for (const auto& part : split(value, ',')) {
                options.workloads.push_back(workload(part));
            }
        } else if (name == "--seconds") {
            options.seconds = seconds(value, "seconds");
            options.engine.seconds = options.seconds;
        } else if (name == "--at") {
            std::tie(options.x, options.y) = corner(value);
            options.engine.x = options.x;
            options.engine.y = options.y;
        } else if (name == "--cursor") {
            options.showsCursor = flag(value);
            options.engine.showsCursor = options.showsCursor;
        } else if (name == "--order") {
            options.ffmpegFirst = value == "ffmpeg";
        } else if (name == "--only") {
            options.recorders = value == "ffmpeg" ? Recorders::ffmpegOnly : Recorders::engineOnly;
        } else if (name == "--animate-hz") {
            options.animateHz = seconds(value, "animation rate");
        } else if (name == "--settle") {
            options.settleSeconds = seconds(value, "settle time");
        } else if (name == "--keep") {
            options.keepDirectory = value;
        } else if (name == "--writer-queue") {
            options.writerQueue = whole(value, "queue length", 0);
            options.engine.writerQueue = options.writerQueue;
        } else if (name == "--encoder-nice") {
            options.encoderNice = whole(value, "nice value", -20);
            options.engine.encoderNice = options.encoderNice;
        } else if (name == "--long-run") {
            options.longRunMinutes = positive(value, "minutes");
        } else if (name == "--sound") {
            options.engine.capturesSound = flag(value);
        } else if (name == "--sample-every") {
            options.engine.sampleSeconds = seconds(value, "sample interval");
        } else if (name == "--display") {
            options.engine.displayName = value;
        } else if (name == "--size") {
            const FrameSize size = frameSize(value);
            options.engine.width = size.width;
            options.engine.height = size.height;
        } else if (name == "--fps") {
            options.engine.frameRate = positive(value, "rate");
        } else if (name == "--output") {
            options.engine.outputPath = value;
        } else {
            throw std::invalid_argument("unknown option " + name);
        }
    }
    return options;
}

}  // namespace vantorel::bench
