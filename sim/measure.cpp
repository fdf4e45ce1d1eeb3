#include "sim/measure.h"

#include <algorithm>

namespace sim {

namespace {

// How far back a trigger is looked for when the time has jumped: a
// controller that was not asked for a long while still only keeps so much.
constexpr int64_t kTriggerLookBack = 4096; // samples

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && a < 0 ? 1 : 0);
}

int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
}

uint32_t levelEvents(const ParamRecord &p, int word) {
    return read32(p, word) & ev::kLevelEvents;
}

// Only the level events of the channels are simulated; a recording trigger
// that selects none of them (inputs and timers only, or nothing at all)
// fires on the channel's own level overshoot instead.
uint32_t recordTrigger(const ParamRecord &p, int channel) {
    const uint32_t mask = levelEvents(p, pw::kRecordMask[channel]);
    if (mask) return mask;
    return channel == kChannelA ? ev::kAOver : ev::kBOver;
}

void put32(RawData &d, int word, int32_t value) {
    d[std::size_t(word)] = uint16_t(uint32_t(value) & 0xFFFF);
    d[std::size_t(word) + 1] = uint16_t(uint32_t(value) >> 16);
}

} // namespace

int64_t SimClock::nowUs() const {
    if (fixed_) return fixedUs_;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - origin_)
        .count();
}

// ---- signal time ------------------------------------------------------------

void Measurement::sync() {
    const int64_t now = clock_.nowUs();
    if (sampling_) tau_ += now - lastClockUs_;
    lastClockUs_ = now;
}

void Measurement::setFixedTime(int64_t signalUs) {
    sync();
    clock_.fix(lastClockUs_);
    tau_ = signalUs;
    armedUs_ = std::min(armedUs_, tau_);
    for (int64_t &w : watchedUs_)
        w = std::min(w, tau_);
    maxUs_ = std::min(maxUs_, tau_);
}

void Measurement::advanceTime(int64_t us) {
    sync();
    clock_.fix(lastClockUs_ + us);
}

void Measurement::useRealTime() {
    sync();
    clock_.release();
    lastClockUs_ = clock_.nowUs();
}

int64_t Measurement::signalTime() {
    sync();
    return tau_;
}

void Measurement::stopSampling() {
    sync();
    sampling_ = false;
}

void Measurement::restartSampling() {
    sync();
    sampling_ = true;
}

// ---- live values ------------------------------------------------------------

uint16_t Measurement::result(const ParamRecord &p, int channel, int64_t tauUs) const {
    return levelWord(resultLevel(p, channel, base_[std::size_t(channel)], tauUs));
}

int32_t Measurement::evaluation(const ParamRecord &p, int eval) {
    sync();
    return evaluationValue(p, eval, tau_);
}

// The maxima follow the raw values between two reads as well; a long gap
// is covered by its last stretch only, which for these signals holds the
// highest values anyway.
void Measurement::trackMaxima() {
    for (int c = 0; c < kLiveChannels; ++c) {
        const int64_t step = c < 2 ? 250 : 5000;
        const int64_t window = c < 2 ? 300000 : 6000000;
        double &m = max_[std::size_t(c)];
        for (int64_t t = std::max(maxUs_, tau_ - window); t < tau_; t += step)
            m = std::max(m, rawLevel(c, t));
        m = std::max(m, rawLevel(c, tau_));
    }
    maxUs_ = tau_;
}

void Measurement::resetMaxima() {
    sync();
    for (int c = 0; c < kLiveChannels; ++c)
        max_[std::size_t(c)] = rawLevel(c, tau_);
    maxUs_ = tau_;
}

void Measurement::acquireNormBase() {
    sync();
    for (int c : {kChannelA, kChannelB})
        base_[std::size_t(c)] = std::max(rawLevel(c, tau_), 1.0);
}

RawData Measurement::rawData(const ParamRecord &p) {
    sync();
    watchTriggers(p);
    trackMaxima();

    RawData d{};
    d[0] = kRawPart1;
    d[16] = kRawPart2;
    d[32] = kRawTrigger;
    ProcessState s;
    for (int c = 0; c < kLiveChannels; ++c) {
        const double raw = rawLevel(c, tau_);
        const double norm = c < 2 ? normLevel(p, c, base_[std::size_t(c)], tau_) : raw;
        const double res = c < 2 ? resultLevel(p, c, base_[std::size_t(c)], tau_) : raw;
        d[std::size_t(1 + c)] = levelWord(norm);
        d[std::size_t(5 + c)] = levelWord(raw);
        d[std::size_t(9 + c)] = levelWord(max_[std::size_t(c)]);
        d[std::size_t(18 + c)] = levelWord(res);
        if (c < 2) {
            s.raw[std::size_t(c)] = raw;
            s.norm[std::size_t(c)] = norm;
            s.result[std::size_t(c)] = res;
        }
    }
    for (int e = 0; e < kEvaluations; ++e) {
        s.eval[std::size_t(e)] = evaluationValue(p, e, tau_);
        put32(d, 22 + 2 * e, s.eval[std::size_t(e)]);
    }
    // Word 13: channel A / B above its trigger level; word 14: outputs 0..2.
    for (int c : {kChannelA, kChannelB})
        if (d[std::size_t(18 + c)] > p[std::size_t(pw::kTriggerLevel[c])]) d[13] |= uint16_t(1u << c);
    for (int o = 0; o < 3; ++o)
        if (outputConditionMet(p, pw::kOutputCondition[o], s)) d[14] |= uint16_t(1u << o);
    d[15] = analogOutput(p, s);

    if (const auto &a = recording_[kChannelA]) {
        d[33] = uint16_t(a->resetEvent);
        d[37] = uint16_t(a->eval1Event);
        d[38] = uint16_t(a->eval2Event);
    }
    if (const auto &b = recording_[kChannelB]) d[34] = uint16_t(b->resetEvent);
    return d;
}

// ---- trigger and recordings -------------------------------------------------
//
// Each channel samples its result on a grid of its own sample period
// (sample k at signal time k x period). A trigger is a selected level event
// between samples k-1 and k: an overshoot when the value goes from at or
// below the trigger level to above it, an undershoot the other way round.
// The first one after a re-arm freezes the recording: pretrigger samples
// before sample k, sample k at index pretrigger, the rest after it. It is
// handed out as soon as the trigger happened; the samples after it are
// known in advance.

void Measurement::rearm() {
    sync();
    armedUs_ = tau_;
    fresh_[0] = fresh_[1] = false;
}

bool Measurement::triggersAt(const ParamRecord &p, uint32_t mask, int64_t k, int64_t periodUs) const {
    static const struct {
        int channel;
        uint32_t overBit, underBit;
    } sources[] = {{kChannelA, ev::kAOver, ev::kAUnder}, {kChannelB, ev::kBOver, ev::kBUnder}};
    for (const auto &src : sources) {
        if (!(mask & (src.overBit | src.underBit))) continue;
        const uint16_t level = p[std::size_t(pw::kTriggerLevel[src.channel])];
        const bool before = result(p, src.channel, (k - 1) * periodUs) > level;
        const bool now = result(p, src.channel, k * periodUs) > level;
        if ((mask & src.overBit) && !before && now) return true;
        if ((mask & src.underBit) && before && !now) return true;
    }
    return false;
}

void Measurement::watchTriggers(const ParamRecord &p) {
    for (int c : {kChannelA, kChannelB}) {
        if (fresh_[c]) continue;
        const int64_t period = samplePeriodUs(p, c);
        const int64_t last = floorDiv(tau_, period);
        int64_t k = std::max(ceilDiv(armedUs_, period), floorDiv(watchedUs_[c], period) + 1);
        k = std::max(k, last - kTriggerLookBack + 1);
        const uint32_t mask = recordTrigger(p, c);
        for (; k <= last; ++k) {
            if (triggersAt(p, mask, k, period)) {
                recording_[c] = capture(p, c, k, period);
                fresh_[c] = true;
                break;
            }
        }
        watchedUs_[c] = tau_;
    }
}

Recording Measurement::capture(const ParamRecord &p, int channel, int64_t k, int64_t periodUs) const {
    Recording r;
    r.pretrigger = p[std::size_t(pw::kPretrigger[channel])];
    r.periodUs = periodUs;
    r.triggerUs = k * periodUs;
    for (int j = 0; j < kCurveSamples; ++j)
        r.samples[std::size_t(j)] = result(p, channel, (k - r.pretrigger + j) * periodUs);
    r.resetEvent = eventWord(p, levelEvents(p, pw::kResetMask[channel]), channel, r);
    if (channel == kChannelA) {
        // The evaluations start on the edge events of their condition group.
        for (int e : {0, 1}) {
            if (p[std::size_t(pw::kEvalMode[e])] == 0) continue;
            const int16_t w = eventWord(p, levelEvents(p, pw::kEvalCondition[e]), channel, r);
            (e == 0 ? r.eval1Event : r.eval2Event) = w;
        }
    }
    return r;
}

// The first selected event at or after the trigger, as the controller
// reports it: scans before the end of the recording, negative; 0 when no
// such event lies in the recording or the distance does not fit 16 bits.
int16_t Measurement::eventWord(const ParamRecord &p, uint32_t mask, int channel, const Recording &r) const {
    const int64_t q = scansPerSample(p, channel);
    if (!mask || q == 0) return 0;
    const int64_t k0 = r.triggerUs / r.periodUs - r.pretrigger; // grid index of sample 0
    for (int j = std::max(r.pretrigger, 1); j < kCurveSamples; ++j) {
        const int64_t w = (j - kCurveSamples) * q;
        if (w >= INT16_MIN && triggersAt(p, mask, k0 + j, r.periodUs)) return int16_t(w);
    }
    return 0;
}

bool Measurement::newRecording(const ParamRecord &p, int channel) {
    sync();
    watchTriggers(p);
    return fresh_[channel];
}

const std::optional<Recording> &Measurement::lastRecording(const ParamRecord &p, int channel) {
    sync();
    watchTriggers(p);
    return recording_[channel];
}

} // namespace sim
