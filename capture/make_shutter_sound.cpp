// Writes the booth's shutter sound, "Camera.wav": a short mechanical click
// pair made from seeded noise and two damped resonances, so every build
// produces the same bytes. 44.1 kHz, 16-bit, mono PCM.
//
// Usage: make_shutter_sound OUTPUT.wav
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSamples = kRate * 3 / 10; // 0.3 s

// The two clicks of a focal-plane shutter: the curtain opening, then closing.
struct Click {
    double at;        // seconds
    double loudness;  // relative
};
constexpr std::array<Click, 2> kClicks{{{0.004, 1.0}, {0.092, 0.75}}};

std::vector<double> Synthesize()
{
    std::vector<double> out(kSamples, 0.0);
    std::uint32_t seed = 0x5eed1234u;
    const auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u; // Numerical Recipes LCG
        return double(seed >> 8) / double(1u << 24) * 2.0 - 1.0;
    };
    for (const Click& click : kClicks) {
        const int first = static_cast<int>(click.at * kRate);
        double previous = 0.0;
        for (int n = first; n < kSamples; ++n) {
            const double t = double(n - first) / kRate;
            // A sharp attack of noise, high-passed by a first difference so
            // it clicks rather than hisses.
            const double raw = noise();
            const double snap = (raw - previous) * std::exp(-t / 0.0025);
            previous = raw;
            // The metal ringing briefly, and the body's dull knock.
            const double ring = 0.35 * std::sin(2 * std::numbers::pi * 3100 * t) * std::exp(-t / 0.012);
            const double knock = 0.6 * std::sin(2 * std::numbers::pi * 190 * t) * std::exp(-t / 0.02);
            out[n] += click.loudness * (0.5 * snap + ring + knock);
        }
    }
    // Fade the last 20 ms to silence so the sound ends without a click.
    const int fade = kRate / 50;
    for (int i = 0; i < fade; ++i)
        out[kSamples - fade + i] *= double(fade - 1 - i) / fade;
    return out;
}

void Put16(std::vector<std::uint8_t>& bytes, std::uint32_t v)
{
    bytes.push_back(std::uint8_t(v));
    bytes.push_back(std::uint8_t(v >> 8));
}

void Put32(std::vector<std::uint8_t>& bytes, std::uint32_t v)
{
    Put16(bytes, v & 0xffffu);
    Put16(bytes, v >> 16);
}

void PutTag(std::vector<std::uint8_t>& bytes, const char (&tag)[5])
{
    bytes.insert(bytes.end(), tag, tag + 4);
}

std::vector<std::uint8_t> WaveFile(const std::vector<double>& samples)
{
    double peak = 0.0;
    for (double s : samples)
        peak = std::max(peak, std::abs(s));
    const double gain = peak > 0 ? 0.7 * 32767.0 / peak : 0.0;

    const std::uint32_t dataBytes = std::uint32_t(samples.size()) * 2;
    std::vector<std::uint8_t> bytes;
    PutTag(bytes, "RIFF");
    Put32(bytes, 36 + dataBytes);
    PutTag(bytes, "WAVE");
    PutTag(bytes, "fmt ");
    Put32(bytes, 16);
    Put16(bytes, 1);         // PCM
    Put16(bytes, 1);         // mono
    Put32(bytes, kRate);
    Put32(bytes, kRate * 2); // bytes per second
    Put16(bytes, 2);         // block align
    Put16(bytes, 16);        // bits per sample
    PutTag(bytes, "data");
    Put32(bytes, dataBytes);
    for (double s : samples)
        Put16(bytes, std::uint16_t(std::int16_t(std::lround(s * gain))));
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
        return 2;
    }
    const std::vector<std::uint8_t> bytes = WaveFile(Synthesize());
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
