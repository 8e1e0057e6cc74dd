// Memos out and sound files in: exporting an hour's memo to FLAC and Opus, and importing an
// hour of 48 kHz stereo FLAC, against libsndfile (and libsoxr, where the rate changes) doing
// the same work straight. Figures are process CPU time (every thread, libsoxr's too), as
// ratios of the program's path to the straight one in the same run; the order of the two
// alternates between repetitions.

#include "Reporters.h"

#include "audio/Conversion.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kMemoRate = 22050;
constexpr int kImportRate = 48000;
constexpr sf_count_t kChunkFrames = 16384;
const audio::AudioTags kTags { "Weekly planning", "Recorded in the small meeting room", "2026-12-09T10:22:00Z", "Work" };

std::string g_root;
std::string g_memo;
std::string g_import;

// PARLIVO_MEMO_SECONDS shortens the sound for a quick look; an hour otherwise.
int soundSeconds()
{
    const char* value = std::getenv("PARLIVO_MEMO_SECONDS");
    const int seconds = value ? std::atoi(value) : 0;
    return seconds > 0 ? seconds : 3600;
}

double processSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double realSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Times {
    double cpu { 0 };
    double real { 0 };
};

template <typename Work>
Times timed(Work&& work)
{
    const double cpu = processSeconds(), real = realSeconds();
    work();
    return { processSeconds() - cpu, realSeconds() - real };
}

// Something like a voice: a gliding tone with harmonics in syllables and phrases, pauses
// between them, and a little noise throughout, so that the encoders meet neither silence nor
// a pure tone.
class Voice {
public:
    Voice(int rate, double pitch)
        : m_rate(rate)
        , m_pitch(pitch)
    {
    }

    float next()
    {
        const double t = double(m_frame++) / m_rate;
        m_phase += 2 * std::numbers::pi * (m_pitch + 30 * std::sin(2 * std::numbers::pi * 0.3 * t)) / m_rate;
        if (m_phase > 2 * std::numbers::pi)
            m_phase -= 2 * std::numbers::pi;
        const double tone = 0.5 * std::sin(m_phase) + 0.25 * std::sin(2 * m_phase) + 0.12 * std::sin(3 * m_phase);
        const double syllables = 0.5 * (1 - std::cos(2 * std::numbers::pi * 4 * t));
        const double phrase = std::fmod(t, 4.0) < 3.0 ? 0.3 + 0.5 * (0.5 + 0.5 * std::sin(2 * std::numbers::pi * 0.11 * t)) : 0.0;
        m_noise ^= m_noise << 13;
        m_noise ^= m_noise >> 17;
        m_noise ^= m_noise << 5;
        const double noise = double(m_noise) / 4294967295.0 * 2 - 1;
        return float(phrase * syllables * tone + 0.01 * noise);
    }

private:
    int m_rate;
    double m_pitch;
    std::int64_t m_frame { 0 };
    double m_phase { 0 };
    std::uint32_t m_noise { 2463534242u };
};

bool writeSound(const std::string& path, int format, int rate, int channels, sf_count_t frames)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "%s cannot be written: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    std::vector<Voice> voices;
    for (int c = 0; c < channels; ++c)
        voices.emplace_back(rate, 140.0 + 25.0 * c);
    std::vector<std::int16_t> chunk(size_t(kChunkFrames) * size_t(channels));
    bool written = true;
    for (sf_count_t at = 0; at < frames && written; at += kChunkFrames) {
        const sf_count_t count = std::min(kChunkFrames, frames - at);
        for (sf_count_t i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c)
                chunk[size_t(i) * size_t(channels) + size_t(c)] = std::int16_t(std::lround(voices[size_t(c)].next() * 32767.0f));
        written = sf_writef_short(file, chunk.data(), count) == count;
    }
    sf_close(file);
    return written;
}

void setTags(SNDFILE* file)
{
    sf_set_string(file, SF_STR_TITLE, kTags.title.c_str());
    sf_set_string(file, SF_STR_COMMENT, kTags.comment.c_str());
    sf_set_string(file, SF_STR_DATE, kTags.date.c_str());
    sf_set_string(file, SF_STR_GENRE, kTags.genre.c_str());
}

// The memo's samples straight into a FLAC file.
bool flacStraight(const std::string& target)
{
    SF_INFO inInfo {};
    SNDFILE* in = sf_open(g_memo.c_str(), SFM_READ, &inInfo);
    SF_INFO outInfo {};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = 1;
    outInfo.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* out = in ? sf_open(target.c_str(), SFM_WRITE, &outInfo) : nullptr;
    bool written = out != nullptr;
    if (out) {
        setTags(out);
        std::vector<std::int16_t> samples(static_cast<size_t>(kChunkFrames));
        while (sf_count_t got = sf_readf_short(in, samples.data(), kChunkFrames))
            if (sf_writef_short(out, samples.data(), got) != got) {
                written = false;
                break;
            }
        sf_close(out);
    }
    if (in)
        sf_close(in);
    return written;
}

// The memo's samples to Ogg Opus, at the Opus rate the export picks for 22050 Hz (24 kHz),
// through libsoxr at the same quality and the encoder at the same VBR quality.
bool opusStraight(const std::string& target)
{
    SF_INFO inInfo {};
    SNDFILE* in = sf_open(g_memo.c_str(), SFM_READ, &inInfo);
    if (!in)
        return false;
    const int rate = 24000;
    SF_INFO outInfo {};
    outInfo.samplerate = rate;
    outInfo.channels = 1;
    outInfo.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
    SNDFILE* out = sf_open(target.c_str(), SFM_WRITE, &outInfo);
    if (!out) {
        sf_close(in);
        return false;
    }
    setTags(out);
    double quality = 0.6;
    sf_command(out, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    const soxr_quality_spec_t resampling = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t problem = nullptr;
    soxr_t soxr = soxr_create(double(inInfo.samplerate), double(rate), 1, &problem, nullptr, &resampling, nullptr);
    bool written = !problem;
    std::vector<float> chunk(static_cast<size_t>(kChunkFrames));
    std::vector<float> converted(size_t(kChunkFrames) * 2);
    for (bool end = false; written && !end;) {
        const sf_count_t got = sf_readf_float(in, chunk.data(), kChunkFrames);
        end = got <= 0;
        const float* at = chunk.data();
        size_t left = size_t(std::max<sf_count_t>(got, 0));
        size_t used = 0, made = 0;
        do {
            soxr_process(soxr, end ? nullptr : at, left, &used, converted.data(), converted.size(), &made);
            at += used;
            left -= used;
            if (made > 0 && sf_writef_float(out, converted.data(), sf_count_t(made)) != sf_count_t(made))
                written = false;
        } while (written && (left > 0 || (end && made > 0)));
    }
    soxr_delete(soxr);
    sf_close(out);
    sf_close(in);
    return written;
}

std::int16_t toSample(float value)
{
    return std::int16_t(std::lround(std::clamp(value, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
}

// The stereo file decoded, its channels averaged and converted to the memo rate at libsoxr's
// high quality, then to 16 bits as the import rounds.
std::vector<std::int16_t> importStraight()
{
    std::vector<std::int16_t> result;
    SF_INFO info {};
    SNDFILE* in = sf_open(g_import.c_str(), SFM_READ, &info);
    if (!in)
        return result;
    const soxr_quality_spec_t resampling = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t problem = nullptr;
    soxr_t soxr = soxr_create(double(info.samplerate), double(kMemoRate), 1, &problem, nullptr, &resampling, nullptr);
    if (problem) {
        sf_close(in);
        return result;
    }
    const double ratio = double(kMemoRate) / double(info.samplerate);
    result.reserve(size_t(double(info.frames) * ratio) + 1024);
    const size_t channels = size_t(info.channels);
    std::vector<float> frames(size_t(kChunkFrames) * channels);
    std::vector<float> mono(static_cast<size_t>(kChunkFrames));
    std::vector<float> converted(static_cast<size_t>(kChunkFrames));
    for (bool end = false; !end;) {
        const sf_count_t got = sf_readf_float(in, frames.data(), kChunkFrames);
        end = got <= 0;
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0;
            for (size_t c = 0; c < channels; ++c)
                sum += frames[size_t(i) * channels + c];
            mono[size_t(i)] = sum / float(channels);
        }
        const float* at = mono.data();
        size_t left = size_t(std::max<sf_count_t>(got, 0));
        size_t used = 0, made = 0;
        do {
            soxr_process(soxr, end ? nullptr : at, left, &used, converted.data(), converted.size(), &made);
            at += used;
            left -= used;
            for (size_t i = 0; i < made; ++i)
                result.push_back(toSample(converted[i]));
        } while (left > 0 || (end && made > 0));
    }
    soxr_delete(soxr);
    sf_close(in);
    return result;
}

// Runs the program's side and the straight side once each per iteration, alternately first.
template <typename Program, typename Straight>
void compare(benchmark::State& state, const char* ratioName, Program&& program, Straight&& straight)
{
    static int round = 0;
    Times ours {}, floor {};
    for (auto _ : state) {
        Times a {}, b {};
        bool fine = true;
        if (round++ % 2 == 0) {
            a = timed([&] { fine = program() && fine; });
            b = timed([&] { fine = straight() && fine; });
        } else {
            b = timed([&] { fine = straight() && fine; });
            a = timed([&] { fine = program() && fine; });
        }
        if (!fine) {
            state.SkipWithError("a side did not finish its work");
            return;
        }
        ours.cpu += a.cpu;
        ours.real += a.real;
        floor.cpu += b.cpu;
        floor.real += b.real;
        state.SetIterationTime(a.cpu);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["program_ms"] = ours.cpu * 1e3 / n;
    state.counters["straight_ms"] = floor.cpu * 1e3 / n;
    state.counters[ratioName] = ours.cpu / floor.cpu;
    state.counters["real_ratio"] = ours.real / floor.real;
}

void exportBoth(benchmark::State& state, audio::ExportFormat format, const char* ratioName, bool (*straight)(const std::string&))
{
    const std::string ours = g_root + "/exported." + audio::extensionFor(format);
    const std::string theirs = g_root + "/straight." + audio::extensionFor(format);
    std::string error;
    compare(
        state, ratioName,
        [&] {
            std::filesystem::remove(ours);
            const bool done = audio::exportRecording(g_memo, ours, format, kTags, &error);
            if (!done)
                std::fprintf(stderr, "export: %s\n", error.c_str());
            return done;
        },
        [&] {
            std::filesystem::remove(theirs);
            return straight(theirs);
        });
    std::filesystem::remove(ours);
    std::filesystem::remove(theirs);
}

void BM_ExportFlac(benchmark::State& state) { exportBoth(state, audio::ExportFormat::Flac, "flac_ratio", flacStraight); }
BENCHMARK(BM_ExportFlac)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_ExportOpus(benchmark::State& state) { exportBoth(state, audio::ExportFormat::Opus, "opus_ratio", opusStraight); }
BENCHMARK(BM_ExportOpus)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

size_t countDiffering(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b)
{
    size_t differing = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        differing += a[i] != b[i];
    return differing;
}

void BM_Import(benchmark::State& state)
{
    // Kept out of the timing, to show that both sides made the same sound.
    std::vector<std::int16_t> ours, theirs;
    compare(
        state, "import_ratio",
        [&] {
            std::string error;
            auto decoded = audio::decodeForImport(g_import, kMemoRate, &error);
            if (!decoded)
                std::fprintf(stderr, "import: %s\n", error.c_str());
            ours = decoded ? std::move(decoded->samples) : std::vector<std::int16_t>();
            return !ours.empty();
        },
        [&] {
            theirs = importStraight();
            return !theirs.empty();
        });
    state.counters["samples"] = double(ours.size());
    state.counters["samples_differing"] = double(countDiffering(ours, theirs));
}
BENCHMARK(BM_Import)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const auto home = bench::useTemporaryHome();
    if (!home)
        return 1;
    g_root = *home;
    g_memo = g_root + "/memo.caf";
    g_import = g_root + "/import.flac";
    const sf_count_t seconds = soundSeconds();
    const double started = realSeconds();
    if (!writeSound(g_memo, SF_FORMAT_CAF | SF_FORMAT_PCM_16, kMemoRate, 1, seconds * kMemoRate)
        || !writeSound(g_import, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kImportRate, 2, seconds * kImportRate)) {
        std::filesystem::remove_all(g_root);
        return 1;
    }
    std::printf("%lld s of memo and of 48 kHz stereo FLAC written in %.1f s\n", static_cast<long long>(seconds), realSeconds() - started);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_root);
    return 0;
}
