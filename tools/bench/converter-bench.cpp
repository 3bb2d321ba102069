// Times the rate converter, as a rip builds its chain, against soxr's medium
// quality and libsamplerate's fastest sinc on the same 44100 Hz stereo input,
// on one core, and prints how many times faster than real time each runs.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include <samplerate.h>
#include <soxr.h>

#include "sound/LSinkConvertChannels.h"
#include "sound/LSinkConvertRate.h"

namespace {

constexpr int IN_RATE = 44100;
constexpr int SECONDS = 180;
constexpr int FRAMES = IN_RATE * SECONDS;
constexpr int BLOCK = BRIDGE_BLOCK_FRAMES;
constexpr int RUNS = 3;
const int outRates[] = {48000, 22050, 8000};

// Music-like 16-bit stereo: three tones and some noise, 6 dB under full scale.
std::vector<int16_t> MakeInput()
{
    std::vector<int16_t> v(static_cast<size_t>(FRAMES) * 2);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 1500.0);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < FRAMES; ++i)
    {
        const double t = double(i) / IN_RATE;
        const double tones = 7000 * std::sin(2 * pi * 220 * t) + 5000 * std::sin(2 * pi * 1375 * t) +
            2500 * std::sin(2 * pi * 6100 * t);
        for (int ch = 0; ch < 2; ++ch)
            v[2 * i + ch] = static_cast<int16_t>(std::clamp(tones * (ch ? 0.8 : 1.0) + noise(random), -32768.0, 32767.0));
    }
    return v;
}

// Takes the frames and keeps a sum of them, so that nothing goes unused.
class SumSink : public LSoundSinkBase
{
public:
    SumSink(int32_t rate, uint8_t channels) : LSoundSinkBase(rate, channels) {}
    void Write(const int32_t* frames, int count) override
    {
        nWritten += count;
        sum += frames[0] + frames[count * nChannels - 1];
    }
    int64_t sum = 0;
};

// Best of RUNS, in times real time.
double Time(const std::function<void()>& run)
{
    double best = 1e30;
    for (int r = 0; r < RUNS; ++r)
    {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return SECONDS / best;
}

volatile int64_t keep;

double Copy(const std::vector<int32_t>& samples)
{
    std::vector<int32_t> block(BLOCK * 2);
    return Time([&] {
        for (int at = 0; at < FRAMES; at += BLOCK)
        {
            const int n = std::min(BLOCK, FRAMES - at);
            memcpy(block.data(), samples.data() + static_cast<size_t>(at) * 2, n * 2 * sizeof(int32_t));
            keep = keep + block[0];
        }
    });
}

// The chain a rip builds in front of a sink of `channels`.
double Ours(const std::vector<int32_t>& samples, int outRate, uint8_t channels)
{
    return Time([&] {
        LCountedPtr<SumSink> sink(new SumSink(outRate, channels));
        {
            LSoundSinkPtr chain = LSinkConvertChannels::OpenSink(2, LSinkConvertRateBase::OpenSink(IN_RATE, LSoundSinkPtr(sink)));
            for (int at = 0; at < FRAMES; at += BLOCK)
                chain->Write(samples.data() + static_cast<size_t>(at) * 2, std::min(BLOCK, FRAMES - at));
        }
        keep = keep + sink->sum;
    });
}

double Soxr(const std::vector<int16_t>& input, int outRate)
{
    const int outBlock = BLOCK * outRate / IN_RATE + 64;
    std::vector<int16_t> out(static_cast<size_t>(outBlock) * 2);
    return Time([&] {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        soxr_t soxr = soxr_create(IN_RATE, outRate, 2, &error, &io, &quality, &runtime);
        if (error)
        {
            std::fprintf(stderr, "soxr: %s\n", error);
            return;
        }
        for (int at = 0; at <= FRAMES;)
        {
            // The last call, with no input, flushes.
            const int n = std::min(BLOCK, FRAMES - at);
            size_t used = 0;
            size_t made = 0;
            soxr_process(soxr, n ? input.data() + static_cast<size_t>(at) * 2 : nullptr, n, &used, out.data(), outBlock, &made);
            keep = keep + (made ? out[0] : 0);
            at += n ? static_cast<int>(used) : 1;
        }
        soxr_delete(soxr);
    });
}

double LibSamplerate(const std::vector<int16_t>& input, int outRate)
{
    const int outBlock = BLOCK * outRate / IN_RATE + 64;
    std::vector<float> in(BLOCK * 2);
    std::vector<float> out(static_cast<size_t>(outBlock) * 2);
    std::vector<int16_t> out16(static_cast<size_t>(outBlock) * 2);
    return Time([&] {
        int error = 0;
        SRC_STATE* src = src_new(SRC_SINC_FASTEST, 2, &error);
        if (!src)
        {
            std::fprintf(stderr, "libsamplerate: %s\n", src_strerror(error));
            return;
        }
        SRC_DATA data = {};
        data.src_ratio = double(outRate) / IN_RATE;
        for (int at = 0; at < FRAMES;)
        {
            const int n = std::min(BLOCK, FRAMES - at);
            src_short_to_float_array(input.data() + static_cast<size_t>(at) * 2, in.data(), n * 2);
            data.data_in = in.data();
            data.input_frames = n;
            data.end_of_input = at + n == FRAMES;
            // Drain what the block makes.
            do
            {
                data.data_out = out.data();
                data.output_frames = outBlock;
                src_process(src, &data);
                src_float_to_short_array(out.data(), out16.data(), static_cast<int>(data.output_frames_gen) * 2);
                keep = keep + out16[0];
                data.data_in += data.input_frames_used * 2;
                data.input_frames -= data.input_frames_used;
            } while (data.input_frames > 0 || (data.end_of_input && data.output_frames_gen > 0));
            at += n;
        }
        src_delete(src);
    });
}

} // namespace

int main()
{
    // One core, the same for every contender.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof(one), &one);

    const std::vector<int16_t> input = MakeInput();
    std::vector<int32_t> samples(input.size());
    for (size_t i = 0; i < input.size(); ++i)
        samples[i] = SampleFrom16(input[i]);

    std::printf("Rate conversion of %d s of 44100 Hz stereo 16-bit audio on one core, best of %d runs,\n"
                "in times real time (higher is faster):\n\n",
        SECONDS, RUNS);
    std::printf("  %-34s %10.0f\n\n", "copy of the samples", Copy(samples));
    std::printf("  %-34s", "to");
    for (int rate : outRates)
        std::printf(" %8d Hz", rate);
    std::printf("\n");
    const struct
    {
        const char* name;
        std::function<double(int)> run;
    } rows[] = {
        {"Corvane (15 taps, 16-bit)", [&](int rate) { return Ours(samples, rate, 2); }},
        {"Corvane, into a mono sink", [&](int rate) { return Ours(samples, rate, 1); }},
        {"soxr MQ", [&](int rate) { return Soxr(input, rate); }},
        {"libsamplerate SINC_FASTEST", [&](int rate) { return LibSamplerate(input, rate); }},
    };
    for (const auto& row : rows)
    {
        std::printf("  %-34s", row.name);
        for (int rate : outRates)
        {
            std::printf(" %11.0f", row.run(rate));
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    return 0;
}
