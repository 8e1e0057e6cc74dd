// Writes the program's three short sounds ("beep", "crumple", "save") as CAF files:
// 16-bit mono linear PCM at 22050 Hz, the format of the recordings. Run by the build.
//
//   make_sounds OUTPUT_DIRECTORY

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <random>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kTwoPi = 2 * std::numbers::pi;

// A raised-cosine ramp of `fade` seconds at both ends keeps the sounds free of clicks.
double edges(double t, double length, double fade)
{
    if (t < fade)
        return 0.5 - 0.5 * std::cos(std::numbers::pi * t / fade);
    if (t > length - fade)
        return 0.5 - 0.5 * std::cos(std::numbers::pi * (length - t) / fade);
    return 1.0;
}

// A short soft beep: 880 Hz with a touch of its octave.
std::vector<double> beep()
{
    const double length = 0.22;
    std::vector<double> out(static_cast<size_t>(length * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double tone = std::sin(kTwoPi * 880 * t) + 0.25 * std::sin(kTwoPi * 1760 * t);
        out[i] = 0.45 * tone * edges(t, length, 0.015);
    }
    return out;
}

// Paper being crumpled: bursts of band-limited noise with crackles, dying away.
std::vector<double> crumple()
{
    const double length = 0.55;
    std::vector<double> out(static_cast<size_t>(length * kRate));
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    double low = 0, band = 0, burst = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        if (chance(random) < 0.004)
            burst = 0.4 + 0.6 * chance(random);
        burst *= 0.9975;
        low += 0.35 * (noise(random) - low);
        band = 0.7 * band + 0.3 * low;
        double crackle = chance(random) < 0.002 ? noise(random) : 0.0;
        out[i] = (1.8 * (low - band) * burst + 0.8 * crackle) * std::exp(-2.5 * t) * edges(t, length, 0.01);
    }
    return out;
}

// A bright two-note chime rising a fourth, each note ringing out.
std::vector<double> save()
{
    const double length = 0.5;
    const double second = 0.12;
    std::vector<double> out(static_cast<size_t>(length * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double first = std::sin(kTwoPi * 1318.5 * t) * std::exp(-14 * t);
        double next = 0;
        if (t >= second) {
            double u = t - second;
            next = (std::sin(kTwoPi * 1760 * u) + 0.3 * std::sin(kTwoPi * 3520 * u)) * std::exp(-8 * u);
        }
        out[i] = 0.4 * (first + next) * edges(t, length, 0.005);
    }
    return out;
}

bool write(const std::string& path, const std::vector<double>& sound)
{
    std::vector<std::int16_t> samples(sound.size());
    for (size_t i = 0; i < sound.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(sound[i], -1.0, 1.0) * 32767));
    SF_INFO info {};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "make_sounds: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    sf_count_t written = sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
    return written == static_cast<sf_count_t>(samples.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds OUTPUT_DIRECTORY\n");
        return 2;
    }
    std::string directory = argv[1];
    bool ok = write(directory + "/beep.caf", beep()) && write(directory + "/crumple.caf", crumple())
        && write(directory + "/save.caf", save());
    return ok ? 0 : 1;
}
