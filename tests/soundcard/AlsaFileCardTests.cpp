// Real PortAudio on ALSA's "file" plugin over "null": everything the program plays is written
// to a raw file, read back here. The null device takes sound as fast as it is given, so these
// tests check what reaches the card, not its timing (the stand-in card's tests do that). The
// capture side is a plain "null": the file plugin writes what it captures to its file as well,
// so a microphone opened on it (the recording that follows the beep) would start the file
// afresh and leave the beep looking silent.

#include "AudioEngineTest.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "SoundEffect.h"

#include "audio/PortAudioDevice.h"
#include "audio/Session.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

using testsupport::readCAF;

namespace {

std::vector<std::int16_t> nonZeroSamples(std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(1 + (i * 13) % 32000);
    return samples;
}

class AlsaFileCardTest : public AudioEngineTest {
protected:
    void SetUp() override
    {
        AudioEngineTest::SetUp();
        foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
        m_output = documentsPath() + "/card.raw";
        std::string config = documentsPath() + "/asound.conf";
        std::ofstream(config) << "pcm.!default {\n"
                                 "    type asym\n"
                                 "    playback.pcm {\n"
                                 "        type file\n"
                                 "        slave.pcm { type null }\n"
                                 "        file \""
                              << m_output
                              << "\"\n"
                                 "        format \"raw\"\n"
                                 "    }\n"
                                 "    capture.pcm { type null }\n"
                                 "}\n";
        setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        std::string reason;
        m_card = audio::PortAudioDevice::create(&reason);
        ASSERT_NE(m_card, nullptr) << reason;
        audio::setCurrentDevice(m_card);
    }
    void TearDown() override
    {
        audio::setCurrentDevice(nullptr);
        m_card.reset();
        AudioEngineTest::TearDown();
    }

    // What the card was given, without the silence PortAudio filled in.
    std::vector<std::int16_t> cardSound() const
    {
        std::ifstream in(m_output, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        std::erase(samples, std::int16_t { 0 });
        return samples;
    }

    std::string m_output;
    std::shared_ptr<audio::PortAudioDevice> m_card;
};

class Finished : public SoundEffect::Delegate {
public:
    void soundEffectDidFinishPlaying(SoundEffect*) override { ++count; }
    int count { 0 };
};

} // namespace

TEST_F(AlsaFileCardTest, EverySampleOfTheSoundEffectsReachesTheCard)
{
    // In the studio's order; each play opens a stream, and the plugin starts its file afresh.
    for (const char* name : { "beep", "save", "crumple" }) {
        auto path = foundation::Bundle::main().pathForResource(name, "caf");
        auto sound = SoundEffect::soundEffectWithContentsOfFile(path);
        ASSERT_NE(sound, nullptr) << name;
        auto delegate = std::make_shared<Finished>();
        sound->setDelegate(delegate);
        sound->play();
        ASSERT_TRUE(runUntil([&] { return delegate->count == 1; }, 10.0)) << name;
        auto expected = readCAF(*path)->samples;
        std::erase(expected, std::int16_t { 0 });
        ASSERT_GT(expected.size(), 4000u) << name;
        EXPECT_EQ(cardSound(), expected) << name << " was played whole before its completion";
    }
}

TEST_F(AlsaFileCardTest, APlayedFileReachesTheCardWholeAcrossAPause)
{
    const auto sound = nonZeroSamples(2 * 22050);
    writeRecording(m_name, sound);
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return player.position() > 0.1; }, 5.0));
    player.pause();
    runUntil([] { return false; }, 0.1);
    player.resume();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 10.0));
    EXPECT_EQ(cardSound(), sound);
}

TEST_F(AlsaFileCardTest, ARateTheCardRefusesIsLoggedAndRecordingDoesNotStart)
{
    foundation::LogCapture capture;
    setSetting("sampleRate", "100");
    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_FALSE(recorder.isRunning());
    EXPECT_TRUE(capture.containsFragment("Cannot open the microphone of PortAudio at 100 Hz: 'default': "));
}
