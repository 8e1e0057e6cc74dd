// Recording and playing through a private sound server: the engine (recorder or player on the
// sound-server device, CAF file included) against parec and pacat doing the same with the same
// buffering, in the same run. A null sink plays in real time, so each side runs ten seconds and
// the CPU time is scaled to a minute. The engine's figure is this process's CPU time (every
// thread); the baseline's is the child's. The figure is the median ratio of three rounds
// (target: at most 1.5).

#include "AudioPlayer.h"
#include "AudioQueueObject.h"
#include "AudioRecorder.h"
#include "HelperMethods.h"
#include "ParlivoAppDelegate.h"
#include "PrivateSoundServer.h"

#include "audio/File.h"
#include "audio/SoundServerDevice.h"
#include "foundation/FileManager.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/UUID.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int kRate = 22050;
constexpr double kSeconds = 10;

double processSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// A private home, a sound server with a speaker (its monitor is the microphone: it delivers in
// real time and needs no feeding from this process), and the engine on it.
struct Workspace {
    Workspace()
    {
        root = (std::filesystem::temp_directory_path() / ("parlivo-bench-" + foundation::makeUUIDString())).string();
        std::filesystem::create_directories(root + "/documents");
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        foundation::setDocumentsDirectory(root + "/documents");
        ParlivoAppDelegate::initialize();
        foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
        testsupport::PrivateSoundServer::Options options;
        options.microphone = false;
        server.emplace(root + "/sound", options);
        device = audio::SoundServerDevice::create({});
        device->setChosenMicrophone("speaker.monitor");
        audio::setCurrentDevice(device);
    }
    ~Workspace()
    {
        audio::setCurrentDevice(nullptr);
        device.reset();
        server.reset();
        std::filesystem::remove_all(root);
    }

    std::string root;
    std::optional<testsupport::PrivateSoundServer> server;
    std::shared_ptr<audio::SoundServerDevice> device;
};

Workspace& workspace()
{
    static Workspace shared;
    return shared;
}

// Runs a program for kSeconds (or until it ends), with stdin and stdout as given; its CPU seconds.
double childSeconds(std::vector<std::string> args, const std::string& in, const std::string& out, bool untilEnd)
{
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pid <= 0)
        return 0;
    if (!untilEnd) {
        std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
        ::kill(pid, SIGINT);
    }
    int status = 0;
    rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void report(benchmark::State& state, double engine, double baseline)
{
    const double perMinute = 60 / kSeconds;
    state.counters["engine_cpu_ms_per_min"] = engine * perMinute * 1e3;
    state.counters["baseline_cpu_ms_per_min"] = baseline * perMinute * 1e3;
    state.counters["ratio"] = baseline > 0 ? engine / baseline : 0;
}

void BM_RecordThroughServer(benchmark::State& state)
{
    auto& work = workspace();
    const std::string name = foundation::makeUUIDString();
    double engine = 0, baseline = 0;
    for (auto _ : state) {
        double start = processSeconds();
        {
            AudioRecorder recorder;
            recorder.recordToFileWithRecordMode(name, RecordModeNew);
            if (!recorder.isRunning()) {
                state.SkipWithError("the recorder did not start");
                return;
            }
            std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
            recorder.stop();
            foundation::RunLoop::main().runPending();
            if (static_cast<double>(recorder.startingPacketNumber()) < (kSeconds - 0.5) * kRate)
                state.SkipWithError("the recording is short");
        }
        engine += processSeconds() - start;
        baseline += childSeconds({ "parec", "--device=speaker.monitor", "--raw", "--format=s16le", "--rate=22050", "--channels=1",
                                     "--latency-msec=20" },
            "/dev/null", work.root + "/parec.raw", false);
        state.SetIterationTime(kSeconds);
    }
    report(state, engine, baseline);
}
// Three rounds, each the engine then the baseline: the median ratio holds on a busy machine.
BENCHMARK(BM_RecordThroughServer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_PlayThroughServer(benchmark::State& state)
{
    auto& work = workspace();
    const std::string name = foundation::makeUUIDString();
    const std::string path = *HelperMethods::getFullAudioFilePath(name);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kRate * kSeconds));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * 3.14159265358979 * 440 * double(i) / kRate)));
    {
        std::shared_ptr<audio::File> file;
        audio::File::create(path, audio::kFileCAFType, audio::linearPCM16(kRate, 1), audio::kFileFlagsEraseFile, &file);
        auto n = static_cast<std::uint32_t>(samples.size());
        file->writePackets(false, n * 2, nullptr, 0, &n, samples.data());
    }
    const std::string raw = work.root + "/pacat.raw";
    if (FILE* out = std::fopen(raw.c_str(), "wb")) {
        std::fwrite(samples.data(), sizeof(std::int16_t), samples.size(), out);
        std::fclose(out);
    }
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
            loop.runUntil([&] { return stopped; }, kSeconds + 10);
            foundation::NotificationCenter::defaultCenter().removeObserver(&stopped);
            if (!stopped)
                state.SkipWithError("the player did not finish");
        }
        engine += processSeconds() - start;
        baseline += childSeconds({ "pacat", "--playback", "--raw", "--format=s16le", "--rate=22050", "--channels=1", "--latency-msec=60" },
            raw, "/dev/null", true);
        state.SetIterationTime(kSeconds);
    }
    report(state, engine, baseline);
}
BENCHMARK(BM_PlayThroughServer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
