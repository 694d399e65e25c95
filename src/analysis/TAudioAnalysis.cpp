#include "TAudioAnalysis.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>

namespace {

double Decibels(double linear) {
    return linear > 0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

// Appends and takes plain values in the machine's own byte order: the cache is the machine's.
template <typename T> void Put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T> bool Take(const std::string& in, size_t& at, T& value) {
    if (in.size() - at < sizeof value || at > in.size())
        return false;
    std::memcpy(&value, in.data() + at, sizeof value);
    at += sizeof value;
    return true;
}

struct TStateDeleter {
    void operator()(ebur128_state* state) const { ebur128_destroy(&state); }
};

// Loudness of a mean square of K-weighted samples (EBU R128's formula).
double LoudnessOf(double energy) {
    return energy > 0 ? 10.0 * std::log10(energy) - 0.691 : -HUGE_VAL;
}

double EnergyOf(double loudness) {
    return std::isfinite(loudness) ? std::pow(10.0, (loudness + 0.691) / 10.0) : 0.0;
}

// Feeds the meter in steps of 100 ms and keeps the momentary curve and the maxima of the
// momentary (400 ms) and short-term (3 s) loudness, taken every 100 ms as the standard has
// it. Asking the meter for the short-term loudness at every step would sum 3 s of audio each
// time; instead each step's own energy is recovered from the momentary values (a window of
// four steps: e[k] = 4 M[k] - e[k-1] - e[k-2] - e[k-3], the meter's audio starting as
// silence), and the last 30 of them make the short-term window. Where a step is not exactly
// a tenth of the window's (a rate not divisible by 10) the meter is asked instead.
class TLoudnessSteps {
public:
    TLoudnessSteps(ebur128_state* state, uint64_t rate) : State(state), Rate(rate) {}

    bool Add(const std::vector<int16_t>& buffer, size_t frames, bool fullStep,
             TAudioAnalysis& result) {
        if (ebur128_add_frames_short(State, buffer.data(), frames) != EBUR128_SUCCESS)
            return false;
        double momentary = -HUGE_VAL;
        ebur128_loudness_momentary(State, &momentary);
        result.Momentary.push_back(momentary);
        if (result.Frames * 1000 >= 400 * Rate)
            MaxMomentary = std::max(MaxMomentary, momentary);
        if (!fullStep)
            return true;
        if (Rate % 10 != 0) {
            double shortTerm = -HUGE_VAL;
            if (result.Frames * 1000 >= 3000 * Rate &&
                ebur128_loudness_shortterm(State, &shortTerm) == EBUR128_SUCCESS)
                MaxShortTerm = std::max(MaxShortTerm, shortTerm);
            return true;
        }
        const double step = 4 * EnergyOf(momentary) - Last[0] - Last[1] - Last[2];
        Last[2] = Last[1];
        Last[1] = Last[0];
        Last[0] = step;
        Window.push_back(step);
        WindowSum += step;
        if (Window.size() > 30) {
            WindowSum -= Window.front();
            Window.pop_front();
        }
        if (Window.size() == 30)
            MaxShortTerm = std::max(MaxShortTerm, LoudnessOf(std::max(0.0, WindowSum / 30)));
        return true;
    }

    double MaxMomentary = -HUGE_VAL;
    double MaxShortTerm = -HUGE_VAL;

private:
    ebur128_state* State;
    uint64_t Rate;
    double Last[3] = {0, 0, 0};
    std::deque<double> Window; // the last 30 steps' energies
    double WindowSum = 0;
};

} // namespace

bool TLoudness::HasLoudness() const {
    return std::isfinite(Integrated);
}

std::string TPeakOverview::ToDat() const {
    std::string out;
    Put<int32_t>(out, 2);  // version
    Put<uint32_t>(out, 0); // flags: 16-bit values
    Put<int32_t>(out, SampleRate);
    Put<int32_t>(out, SamplesPerPixel);
    Put<uint32_t>(out, static_cast<uint32_t>(Pixels()));
    Put<int32_t>(out, Channels);
    out.append(reinterpret_cast<const char*>(MinMax.data()), MinMax.size() * sizeof(int16_t));
    return out;
}

std::optional<TPeakOverview> TPeakOverview::FromDat(const std::string& bytes) {
    size_t at = 0;
    int32_t version = 0, rate = 0, perPixel = 0, channels = 0;
    uint32_t flags = 0, pixels = 0;
    if (!Take(bytes, at, version) || !Take(bytes, at, flags) || !Take(bytes, at, rate) ||
        !Take(bytes, at, perPixel) || !Take(bytes, at, pixels) || !Take(bytes, at, channels))
        return std::nullopt;
    if (version != 2 || flags != 0 || rate <= 0 || perPixel <= 0 || channels <= 0 || channels > 64)
        return std::nullopt;
    const uint64_t values = uint64_t{pixels} * 2 * static_cast<uint64_t>(channels);
    if (values * sizeof(int16_t) != bytes.size() - at)
        return std::nullopt;
    TPeakOverview peaks;
    peaks.SampleRate = rate;
    peaks.Channels = channels;
    peaks.SamplesPerPixel = perPixel;
    peaks.MinMax.resize(values);
    std::memcpy(peaks.MinMax.data(), bytes.data() + at, values * sizeof(int16_t));
    return peaks;
}

std::optional<TAudioAnalysis> TAudioAnalysis::Run(const std::string& path, const TDecodeOps& ops,
                                                  const TProgress& progress, std::string& error,
                                                  bool measureLoudness) {
    auto lastError = [&ops](const char* fallback) {
        char text[512] = {};
        if (ops.LastError != nullptr && ops.LastError(text, sizeof text) != 0 && text[0] != 0)
            return std::string(text);
        return std::string(fallback);
    };
    if (ops.Open == nullptr || ops.Read == nullptr || ops.Close == nullptr) {
        error = "The playback library cannot decode for analysis";
        return std::nullopt;
    }
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint64_t expected = 0;
    const uint32_t handle = ops.Open(path.c_str(), &rate, &channels, &expected);
    if (handle == 0) {
        error = lastError("The file cannot be decoded");
        return std::nullopt;
    }
    struct TClose {
        const TDecodeOps& Ops;
        uint32_t Handle;
        ~TClose() { Ops.Close(Handle); }
    } close{ops, handle};
    if (rate == 0 || channels == 0) {
        error = "The file has no audio";
        return std::nullopt;
    }
    std::unique_ptr<ebur128_state, TStateDeleter> state;
    if (measureLoudness)
        state.reset(ebur128_init(channels, rate,
                                 EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_S |
                                     EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK));
    if (measureLoudness && !state) {
        error = "The loudness meter cannot measure " + std::to_string(channels) + " channels at " +
                std::to_string(rate) + " Hz";
        return std::nullopt;
    }

    TAudioAnalysis result;
    result.SampleRate = static_cast<int>(rate);
    result.Channels = channels;
    result.Peaks.SampleRate = result.SampleRate;
    result.Peaks.Channels = channels;
    const int perPixel = result.Peaks.SamplesPerPixel;
    if (expected > 0)
        result.Peaks.MinMax.reserve(static_cast<size_t>((expected / perPixel + 1) * 2 * channels));

    // Steps of 100 ms, so the momentary loudness is taken every 100 ms of audio.
    const size_t step = std::max<size_t>(1, rate * CurveStepMs / 1000);
    std::vector<int16_t> buffer(step * channels);
    std::vector<int16_t> blockMin(channels, INT16_MAX);
    std::vector<int16_t> blockMax(channels, INT16_MIN);
    int inBlock = 0;
    std::optional<TLoudnessSteps> steps;
    if (state)
        steps.emplace(state.get(), rate);
    int lastPercent = -1;
    for (;;) {
        size_t got = 0;
        while (got < step) {
            const uint32_t n =
                ops.Read(handle, buffer.data() + got * channels, static_cast<uint32_t>(step - got));
            if (n == 0)
                break;
            got += n;
        }
        if (got == 0)
            break;
        for (size_t frame = 0; frame < got; ++frame) {
            const int16_t* sample = buffer.data() + frame * channels;
            for (int c = 0; c < channels; ++c) {
                blockMin[c] = std::min(blockMin[c], sample[c]);
                blockMax[c] = std::max(blockMax[c], sample[c]);
            }
            if (++inBlock == perPixel) {
                for (int c = 0; c < channels; ++c) {
                    result.Peaks.MinMax.push_back(blockMin[c]);
                    result.Peaks.MinMax.push_back(blockMax[c]);
                    blockMin[c] = INT16_MAX;
                    blockMax[c] = INT16_MIN;
                }
                inBlock = 0;
            }
        }
        result.Frames += got;
        if (steps && !steps->Add(buffer, got, got == step, result)) {
            error = "The loudness meter failed";
            return std::nullopt;
        }
        if (progress && expected > 0) {
            const int percent =
                static_cast<int>(std::min<uint64_t>(99, result.Frames * 100 / expected));
            if (percent != lastPercent) {
                lastPercent = percent;
                if (!progress(percent)) {
                    error = "Cancelled";
                    return std::nullopt;
                }
            }
        }
        if (got < step)
            break;
    }
    if (inBlock > 0)
        for (int c = 0; c < channels; ++c) {
            result.Peaks.MinMax.push_back(blockMin[c]);
            result.Peaks.MinMax.push_back(blockMax[c]);
        }
    if (!state) {
        if (progress)
            progress(100);
        return result;
    }
    // A file shorter than a window is measured by what it has.
    double maxMomentary = steps->MaxMomentary;
    double maxShortTerm = steps->MaxShortTerm;
    if (!std::isfinite(maxMomentary))
        ebur128_loudness_momentary(state.get(), &maxMomentary);
    if (!std::isfinite(maxShortTerm))
        ebur128_loudness_shortterm(state.get(), &maxShortTerm);

    TLoudness& loudness = result.Loudness;
    if (ebur128_loudness_global(state.get(), &loudness.Integrated) != EBUR128_SUCCESS)
        loudness.Integrated = -HUGE_VAL;
    if (ebur128_loudness_range(state.get(), &loudness.Range) != EBUR128_SUCCESS)
        loudness.Range = 0;
    loudness.MaxMomentary = maxMomentary;
    loudness.MaxShortTerm = maxShortTerm;
    double samplePeak = 0;
    double truePeak = 0;
    for (unsigned c = 0; c < channels; ++c) {
        double value = 0;
        if (ebur128_sample_peak(state.get(), c, &value) == EBUR128_SUCCESS)
            samplePeak = std::max(samplePeak, value);
        if (ebur128_true_peak(state.get(), c, &value) == EBUR128_SUCCESS)
            truePeak = std::max(truePeak, value);
    }
    loudness.SamplePeak = Decibels(samplePeak);
    loudness.TruePeak = Decibels(truePeak);
    if (progress)
        progress(100);
    return result;
}

std::string TAudioAnalysis::Encode() const {
    std::string out("CMA1", 4);
    Put<int32_t>(out, SampleRate);
    Put<int32_t>(out, Channels);
    Put<uint64_t>(out, Frames);
    for (double value : {Loudness.Integrated, Loudness.Range, Loudness.MaxMomentary,
                         Loudness.MaxShortTerm, Loudness.SamplePeak, Loudness.TruePeak})
        Put<double>(out, value);
    Put<uint64_t>(out, Momentary.size());
    out.append(reinterpret_cast<const char*>(Momentary.data()), Momentary.size() * sizeof(double));
    out += Peaks.ToDat();
    return out;
}

std::optional<TAudioAnalysis> TAudioAnalysis::Decode(const std::string& bytes) {
    if (bytes.compare(0, 4, "CMA1") != 0)
        return std::nullopt;
    size_t at = 4;
    TAudioAnalysis result;
    int32_t rate = 0, channels = 0;
    uint64_t curve = 0;
    double* figures[] = {&result.Loudness.Integrated,   &result.Loudness.Range,
                         &result.Loudness.MaxMomentary, &result.Loudness.MaxShortTerm,
                         &result.Loudness.SamplePeak,   &result.Loudness.TruePeak};
    if (!Take(bytes, at, rate) || !Take(bytes, at, channels) || !Take(bytes, at, result.Frames))
        return std::nullopt;
    for (double* figure : figures)
        if (!Take(bytes, at, *figure))
            return std::nullopt;
    if (!Take(bytes, at, curve) || curve > (bytes.size() - at) / sizeof(double))
        return std::nullopt;
    result.Momentary.resize(curve);
    std::memcpy(result.Momentary.data(), bytes.data() + at, curve * sizeof(double));
    at += curve * sizeof(double);
    auto peaks = TPeakOverview::FromDat(bytes.substr(at));
    if (!peaks || rate <= 0 || channels <= 0 || peaks->Channels != channels)
        return std::nullopt;
    result.SampleRate = rate;
    result.Channels = channels;
    result.Peaks = std::move(*peaks);
    return result;
}
