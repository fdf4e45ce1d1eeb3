// The controller's measuring side: signal time, the live values, the
// triggered recordings of channels A and B, maxima and normalisation bases.
// Whatever the record decides (trigger levels, pretrigger, intervals,
// evaluations) is read from the RAM record handed in with each call.
#pragma once

#include "sim/signals.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace sim {

// Microseconds, from a monotonic clock or held fixed and moved by hand.
class SimClock {
  public:
    int64_t nowUs() const;
    bool fixed() const { return fixed_; }
    void fix(int64_t us) {
        fixed_ = true;
        fixedUs_ = us;
    }
    void release() { fixed_ = false; }

  private:
    bool fixed_ = false;
    int64_t fixedUs_ = 0;
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

// One triggered recording of a channel and the event words that go with it.
struct Recording {
    Curve samples{};
    int64_t triggerUs = 0; // signal time of sample `pretrigger`
    int64_t periodUs = 0;  // between two samples
    int pretrigger = 0;
    int16_t resetEvent = 0; // rawdata word 33 (A) or 34 (B)
    int16_t eval1Event = 0; // word 37 (recording A only)
    int16_t eval2Event = 0; // word 38 (recording A only)
};

class Measurement {
  public:
    // Signal time. Fixing the time stops the clock and sets the signal time
    // (moving it back is allowed; the watch for triggers and maxima starts
    // again from there). advanceTime moves a fixed clock on, fixing it first
    // if it still runs; the signal time follows while sampling runs.
    void setFixedTime(int64_t signalUs);
    void advanceTime(int64_t us);
    void useRealTime();
    bool timeFixed() const { return clock_.fixed(); }
    int64_t signalTime();

    // Commands 10 and 11. While stopped the signal time stands still, so
    // live values freeze and no trigger can happen.
    bool sampling() const { return sampling_; }
    void stopSampling();
    void restartSampling();

    // Rawdata words 0..47 as commands 8 read them, now.
    RawData rawData(const ParamRecord &p);
    // A recording of channel 0 (A) or 1 (B) triggered since the last re-arm.
    bool newRecording(const ParamRecord &p, int channel);
    // The channel's last recording, new or not.
    const std::optional<Recording> &lastRecording(const ParamRecord &p, int channel);
    // Command 9 with 0x6400: both channels wait for their next trigger.
    void rearm();
    // Command 13: the maxima start again from the present values.
    void resetMaxima();
    // Command 14: each channel's present raw value becomes its base.
    void acquireNormBase();
    double normBase(int channel) const { return base_[std::size_t(channel)]; }
    int32_t evaluation(const ParamRecord &p, int eval);

  private:
    void sync();
    void watchTriggers(const ParamRecord &p);
    bool triggersAt(const ParamRecord &p, uint32_t mask, int64_t k, int64_t periodUs) const;
    Recording capture(const ParamRecord &p, int channel, int64_t k, int64_t periodUs) const;
    int16_t eventWord(const ParamRecord &p, uint32_t mask, int channel, const Recording &r) const;
    void trackMaxima();
    uint16_t result(const ParamRecord &p, int channel, int64_t tauUs) const;

    SimClock clock_;
    int64_t lastClockUs_ = clock_.nowUs();
    int64_t tau_ = 0; // signal time
    bool sampling_ = true;

    int64_t armedUs_ = 0;       // signal time of the last re-arm
    int64_t watchedUs_[2] = {}; // signal time up to which triggers were looked for
    bool fresh_[2] = {};        // triggered since the last re-arm
    std::optional<Recording> recording_[2];

    int64_t maxUs_ = 0; // signal time up to which maxima are tracked
    std::array<double, kLiveChannels> max_{};
    std::array<double, 2> base_{kNormScale, kNormScale};
};

} // namespace sim
