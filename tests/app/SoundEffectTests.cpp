#include "AudioTestEnvironment.h"

#include "ParlivoAppDelegate.h"
#include "SoundEffect.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

namespace {

class CountingDelegate : public SoundEffect::Delegate {
public:
    void soundEffectDidFinishPlaying(SoundEffect* sound) override { finished.push_back(sound); }
    std::vector<SoundEffect*> finished;
};

class SoundEffectTest : public testsupport::AudioTestEnvironment {
protected:
    void SetUp() override
    {
        AudioTestEnvironment::SetUp();
        ParlivoAppDelegate::initialize();
    }
    std::optional<std::string> resource(const std::string& name)
    {
        return foundation::Bundle::main().pathForResource(name, "caf");
    }
};

} // namespace

TEST_F(SoundEffectTest, EachPlayTellsTheDelegateOnceWhenTheSoundHasEnded)
{
    for (const char* name : { "beep", "crumple", "save" }) {
        auto sound = SoundEffect::soundEffectWithContentsOfFile(resource(name));
        ASSERT_NE(sound, nullptr) << name;
        auto delegate = std::make_shared<CountingDelegate>();
        sound->setDelegate(delegate);
        sound->play();
        advance(0.1);
        EXPECT_TRUE(delegate->finished.empty()) << name << " is still playing";
        sound->play();
        advance(1.0);
        EXPECT_EQ(delegate->finished, (std::vector<SoundEffect*> { sound.get(), sound.get() })) << name;
    }
    EXPECT_FALSE(device().speakerSamples().empty());
}

TEST_F(SoundEffectTest, ASoundWithoutAListeningDelegateFinishesSilently)
{
    auto plain = std::make_shared<SoundEffect::Delegate>();
    auto sound = SoundEffect::soundEffectWithContentsOfFile(resource("beep"));
    ASSERT_NE(sound, nullptr);
    sound->play();
    sound->setDelegate(plain);
    sound->play();
    advance(1.0);
    EXPECT_EQ(device().speakerSamples().size(), 2 * 4851u);

    // A delegate that has gone away is not called; a sound destroyed mid-play reports nothing.
    auto gone = std::make_shared<CountingDelegate>();
    sound->setDelegate(gone);
    sound->play();
    gone.reset();
    advance(1.0);
    auto counting = std::make_shared<CountingDelegate>();
    sound->setDelegate(counting);
    sound->play();
    sound.reset();
    advance(1.0);
    EXPECT_TRUE(counting->finished.empty());
}

TEST_F(SoundEffectTest, WithSoundEffectsOffNothingIsLoadedOrPlayed)
{
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("NO", "soundEffects");
    auto sound = SoundEffect::soundEffectWithContentsOfFile(resource("beep"));
    ASSERT_NE(sound, nullptr);
    EXPECT_FALSE(sound->soundEffectsOn());
    EXPECT_EQ(sound->soundID(), 0u);
    auto delegate = std::make_shared<CountingDelegate>();
    sound->setDelegate(delegate);
    sound->play();
    advance(1.0);
    EXPECT_TRUE(delegate->finished.empty());
    EXPECT_TRUE(device().speakerSamples().empty());
    // Off means nothing is loaded, so even a missing file gives a sound.
    EXPECT_NE(SoundEffect::initWithContentsOfFile(documentsPath() + "/missing.caf"), nullptr);
}

TEST_F(SoundEffectTest, AFileThatCannotBeLoadedGivesNoSoundAndOneLogLine)
{
    foundation::LogCapture capture;
    std::string missing = documentsPath() + "/missing.caf";
    EXPECT_EQ(SoundEffect::initWithContentsOfFile(missing), nullptr);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0], "Error " + std::to_string(audio::kFileNotFoundError) + " loading sound at path: " + missing);

    EXPECT_EQ(SoundEffect::soundEffectWithContentsOfFile(std::nullopt), nullptr);
    EXPECT_EQ(SoundEffect::initWithContentsOfFile(""), nullptr);
    EXPECT_TRUE(capture.contains("NSURL is nil for path: "));
}
