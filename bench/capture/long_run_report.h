#pragma once

#include <optional>
#include <vector>

#include "report_table.h"
#include "run_result.h"

namespace vantorel::bench {

// A long run of the engine: a row for each sample as the child reports it, then how memory and
// the sound's sync held up against their goals.
//
// Rows come on the thread that reads the child's output; the summary is asked for on the main
// thread once that reader has been joined, so the two never overlap.
class LongRunReport {
  public:
    // Prints the heading.
    explicit LongRunReport(const CaseDescription& description);

    void add(const KeyValues& sample);
    void finish(const RunResult& run) const;

  private:
    struct Sample {
        double minutes = 0;
        double rssMegabytes = 0;
        double peakRssMegabytes = 0;
        int64_t frames = 0;
        double pictureSeconds = 0;
        double soundSeconds = 0;
        std::optional<double> soundAheadOfHostMs;
        std::optional<double> soundInFileOffMs;
        int64_t refusedSoundBlocks = 0;
    };

    // The sound's offset from where it stood at the first sample that had one.
    std::optional<double> driftMs(const Sample& sample) const;
    // A minute in, once start-up has taken what it needs: memory should stay flat from here.
    const Sample* firstMinute() const;
    double frameMs() const { return 1000.0 / description_.frameRate; }
    void printRow(const Sample& sample) const;
    void printGoals(const RunResult& run) const;

    CaseDescription description_;
    std::vector<Sample> samples_;
    std::optional<double> firstAheadMs_;
};

}  // namespace vantorel::bench
