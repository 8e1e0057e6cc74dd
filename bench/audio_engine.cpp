// Recording and playing a minute of sound through the engine on the virtual devices, run as
// fast as they go, against doing the same file work straight through libsndfile. Figures are
// process CPU time (every thread), as ratios of the engine to the baseline in the same run.

#include "AudioPlayer.h"
#include "AudioQueueObject.h"
#include "AudioRecorder.h"
#include "HelperMethods.h"
#include "ParlivoAppDelegate.h"

#include "audio/VirtualDevice.h"
#include "foundation/FileManager.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/UUID.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sndfile.h>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr int kSeconds = 60;
constexpr int kFrames = kRate * kSeconds;
constexpr int kBufferFrames = kRate / 10;

double processSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A private home for the run's settings and files.
struct Workspace {
    Workspace()
    {
        root = (std::filesystem::temp_directory_path() / ("parlivo-bench-" + foundation::makeUUIDString())).string();
        std::filesystem::create_directories(root + "/documents");
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        foundation::setDocumentsDirectory(root + "/documents");
        ParlivoAppDelegate::initialize();
        device = std::make_shared<audio::VirtualDevice>();
        device->setPacing(audio::Pacing::Unpaced);
        device->setSpeakerCapturesToMemory(false);
        audio::setCurrentDevice(device);
        for (int i = 0; i < kFrames; ++i)
            samples.push_back(static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * 3.14159265358979 * 440 * i / kRate))));
    }
    ~Workspace() { std::filesystem::remove_all(root); }

    std::string root;
    std::shared_ptr<audio::VirtualDevice> device;
    std::vector<std::int16_t> samples;
};

Workspace& workspace()
{
    static Workspace shared;
    return shared;
}

void writeStraight(const std::string& path, const std::vector<std::int16_t>& samples, bool keepHeaderValid)
{
    SF_INFO info {};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (keepHeaderValid)
        sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    for (int at = 0; at < kFrames; at += kBufferFrames)
        sf_writef_short(file, samples.data() + at, kBufferFrames);
    sf_close(file);
}

std::int64_t readStraight(const std::string& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<std::int16_t> buffer(kBufferFrames);
    std::int64_t total = 0;
    while (sf_count_t got = sf_readf_short(file, buffer.data(), kBufferFrames))
        total += got;
    sf_close(file);
    return total;
}

void BM_RecordOneMinute(benchmark::State& state)
{
    auto& work = workspace();
    std::string name = foundation::makeUUIDString();
    std::string path = *HelperMethods::getFullAudioFilePath(name);
    double engine = 0, headerBaseline = 0, plainBaseline = 0;
    std::int64_t overshoot = 0;
    for (auto _ : state) {
        work.device->setMicrophoneSamples(work.samples);
        double start = processSeconds();
        {
            AudioRecorder recorder;
            recorder.recordToFileWithRecordMode(name, RecordModeNew);
            while (recorder.startingPacketNumber() < kFrames)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            recorder.stop();
            overshoot += recorder.startingPacketNumber() - kFrames;
        }
        foundation::RunLoop::main().runPending();
        double recorded = processSeconds();
        writeStraight(path + ".header", work.samples, true);
        double straight = processSeconds();
        writeStraight(path + ".plain", work.samples, false);
        double plain = processSeconds();
        engine += recorded - start;
        headerBaseline += straight - recorded;
        plainBaseline += plain - straight;
        state.SetIterationTime(recorded - start);
    }
    state.counters["engine_ms"] = engine * 1e3 / static_cast<double>(state.iterations());
    state.counters["baseline_ms"] = headerBaseline * 1e3 / static_cast<double>(state.iterations());
    state.counters["ratio"] = engine / headerBaseline;
    state.counters["plain_baseline_ms"] = plainBaseline * 1e3 / static_cast<double>(state.iterations());
    state.counters["ratio_to_plain"] = engine / plainBaseline;
    state.counters["overshoot_frames"] = static_cast<double>(overshoot) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RecordOneMinute)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PlayOneMinute(benchmark::State& state)
{
    auto& work = workspace();
    std::string name = foundation::makeUUIDString();
    std::string path = *HelperMethods::getFullAudioFilePath(name);
    writeStraight(path, work.samples, false);
    auto& loop = foundation::RunLoop::main();
    double engine = 0, baseline = 0;
    for (auto _ : state) {
        double start = processSeconds();
        {
            AudioPlayer player;
            bool stopped = false;
            foundation::NotificationCenter::defaultCenter().addObserver(&stopped, PRLVNotificationAudioQueueDidStop, &player,
                [&](const foundation::Notification&) { stopped = true; });
            player.playFromFileStartingAtPosition(name, 0);
            loop.runUntil([&] { return stopped; }, 120);
            foundation::NotificationCenter::defaultCenter().removeObserver(&stopped);
            if (!stopped || player.startingPacketNumber() != kFrames)
                state.SkipWithError("the player did not play the whole file");
        }
        double played = processSeconds();
        if (readStraight(path) != kFrames)
            state.SkipWithError("the baseline did not read the whole file");
        double straight = processSeconds();
        engine += played - start;
        baseline += straight - played;
        state.SetIterationTime(played - start);
    }
    state.counters["engine_ms"] = engine * 1e3 / static_cast<double>(state.iterations());
    state.counters["baseline_ms"] = baseline * 1e3 / static_cast<double>(state.iterations());
    state.counters["ratio"] = engine / baseline;
}
BENCHMARK(BM_PlayOneMinute)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
