// Real PortAudio through ALSA's pulse plugin to a private pulseaudio daemon, as on a desktop
// whose sound goes through a server. Its sine source delivers in blocks of two seconds, each
// at once and ahead of time, and an idle sink may finish a block of its own before it first
// takes a new stream's sound: what a server that buffers does, met for real. These tests take
// real time, a few seconds each.

#include "AudioEngineTest.h"
#include "PrivatePulseServer.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "SoundEffect.h"

#include "audio/PortAudioDevice.h"
#include "audio/Session.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sys/stat.h>

using testsupport::readCAF;

namespace {

using Clock = std::chrono::steady_clock;

class Finished : public SoundEffect::Delegate {
public:
    void soundEffectDidFinishPlaying(SoundEffect*) override { ++count; }
    int count { 0 };
};

class PulsePluginTest : public AudioEngineTest {
protected:
    void SetUp() override
    {
        AudioEngineTest::SetUp();
        foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
        std::string reason;
        ASSERT_TRUE(m_server.start(rootDirectory(), &reason)) << reason;
        m_card = audio::PortAudioDevice::create(&reason);
        ASSERT_NE(m_card, nullptr) << reason;
        audio::setCurrentDevice(m_card);
        audio::Session::shared().initialize(nullptr, [this](std::uint32_t state) { m_interruptions.push_back(state); });
    }
    void TearDown() override
    {
        audio::setCurrentDevice(nullptr);
        m_card.reset();
        m_server.stop();
        AudioEngineTest::TearDown();
    }

    static double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

    // Waits until the monitor's recording holds sound, so the sink already runs at its
    // recording's latency.
    bool recordSpeaker()
    {
        m_speaker = rootDirectory() + "/speaker.raw";
        if (!m_server.recordSpeaker(m_speaker))
            return false;
        return runUntil(
            [&] {
                struct stat info {};
                return ::stat(m_speaker.c_str(), &info) == 0 && info.st_size > 0;
            },
            4.0);
    }
    // Everything that reached the speaker since recordSpeaker().
    std::vector<std::int16_t> speakerSound()
    {
        m_server.stopRecording();
        std::ifstream in(m_speaker, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        return samples;
    }

    soundcard::PrivatePulseServer m_server;
    std::shared_ptr<audio::PortAudioDevice> m_card;
    std::vector<std::uint32_t> m_interruptions;
    std::string m_speaker;
    foundation::LogCapture m_log;
};

} // namespace

TEST_F(PulsePluginTest, ARecordingOfTheServersMicrophoneIsAsLongAsItRanWithNoSampleLostOrDoubled)
{
    AudioRecorder recorder;
    const auto started = Clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    ASSERT_TRUE(runUntil([&] { return secondsSince(started) >= 3.0; }, 4.0));
    EXPECT_NEAR(recorder.position(), 3.0, 0.15) << "the timer follows the clock, not the source's blocks";
    recorder.stop();
    const double ran = secondsSince(started);
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 3.0));

    const auto samples = readCAF(path(m_name))->samples;
    EXPECT_NEAR(static_cast<double>(samples.size()) / 22050, ran, 0.05);
    // A 440-Hz sine: each sample follows from the two before it, to within rounding; a sample
    // lost or doubled breaks that by a tenth of the amplitude.
    const double twiceCosine = 2 * std::cos(2 * std::numbers::pi * 440 / 22050);
    int loudest = 0;
    double worst = 0;
    for (std::size_t i = 1; i + 1 < samples.size(); ++i) {
        loudest = std::max(loudest, std::abs(int(samples[i])));
        worst = std::max(worst, std::abs(samples[i + 1] - twiceCosine * samples[i] + samples[i - 1]));
    }
    EXPECT_GT(loudest, 3000);
    EXPECT_LT(worst, 8.0) << "the phase is continuous";
    EXPECT_TRUE(m_interruptions.empty());
    EXPECT_FALSE(m_log.containsFragment("Lost the")) << "the source's two-second blocks are not a lost device";
}

TEST_F(PulsePluginTest, TheSoundEffectsAndAMemoPlayedAcrossAPauseReachTheServersSpeakerWhole)
{
    ASSERT_TRUE(recordSpeaker());
    std::vector<std::vector<std::int16_t>> effects;
    for (const char* name : { "beep", "save", "crumple" }) {
        auto path = foundation::Bundle::main().pathForResource(name, "caf");
        auto sound = SoundEffect::soundEffectWithContentsOfFile(path);
        ASSERT_NE(sound, nullptr) << name;
        auto delegate = std::make_shared<Finished>();
        sound->setDelegate(delegate);
        sound->play();
        ASSERT_TRUE(runUntil([&] { return delegate->count == 1; }, 5.0)) << name;
        auto samples = readCAF(*path)->samples;
        auto first = std::find_if(samples.begin(), samples.end(), [](std::int16_t v) { return v != 0; });
        auto last = std::find_if(samples.rbegin(), samples.rend(), [](std::int16_t v) { return v != 0; }).base();
        effects.emplace_back(first, last);
    }
    // A ramp that never reaches 0, so the silence of the pause is all that is left out.
    const auto memo = testsupport::rampSamples(22050, 5);
    ASSERT_EQ(std::count(memo.begin(), memo.end(), std::int16_t { 0 }), 0);
    writeRecording(m_name, memo);
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return player.position() >= 0.3; }, 3.0));
    player.pause();
    runUntil([] { return false; }, 0.2);
    player.resume();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 4.0));
    runUntil([] { return false; }, 0.2); // the monitor's last fragment

    // Each sound arrives in one piece: from its first sounding sample, exactly its samples,
    // its own zeros included and no silence put in; then the memo, less the pause.
    const auto heard = speakerSound();
    std::size_t at = 0;
    for (const auto& effect : effects) {
        while (at < heard.size() && heard[at] == 0)
            ++at;
        ASSERT_LE(at + effect.size(), heard.size());
        EXPECT_TRUE(std::equal(effect.begin(), effect.end(), heard.begin() + static_cast<std::ptrdiff_t>(at)))
            << "a sound effect from sample " << at;
        at += effect.size();
    }
    std::vector<std::int16_t> rest(heard.begin() + static_cast<std::ptrdiff_t>(at), heard.end());
    std::erase(rest, std::int16_t { 0 });
    EXPECT_EQ(rest, memo) << "every sample of the memo once, in order, across the pause";
    EXPECT_TRUE(m_interruptions.empty());
    EXPECT_FALSE(m_log.containsFragment("Lost the"));
}
