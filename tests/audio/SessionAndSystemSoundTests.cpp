#include "AudioTestEnvironment.h"

#include "audio/Session.h"
#include "audio/SystemSound.h"
#include "foundation/Bundle.h"
#include "foundation/FileManager.h"

#include <algorithm>

#include <thread>

using namespace audio;

namespace {

class SystemSoundTest : public testsupport::AudioTestEnvironment {
protected:
    SystemSoundID load(const std::string& name)
    {
        auto path = foundation::Bundle::main().pathForResource(name, "caf");
        EXPECT_TRUE(path.has_value()) << name;
        SystemSoundID sound = 0;
        EXPECT_EQ(createSystemSoundID(path.value_or(""), &sound), noErr);
        EXPECT_NE(sound, 0u);
        return sound;
    }
};

} // namespace

TEST_F(SystemSoundTest, SessionKeepsItsCategoryAndDeliversInterruptionsOnTheMainLoop)
{
    auto& session = Session::shared();
    session.raiseInterruption(kSessionBeginInterruption); // not initialised: nobody to tell
    EXPECT_EQ(session.category(), kSessionCategorySoloAmbientSound);
    std::vector<std::pair<std::uint32_t, std::thread::id>> heard;
    session.initialize(nullptr, [&](std::uint32_t state) { heard.emplace_back(state, std::this_thread::get_id()); });

    std::uint32_t category = kSessionCategoryRecordAudio;
    EXPECT_EQ(session.setProperty(SessionProperty::AudioCategory, 4, &category), noErr);
    EXPECT_EQ(session.setProperty(SessionProperty::AudioCategory, 2, &category), kSessionBadPropertySizeError);
    std::uint32_t read = 0;
    std::uint32_t size = sizeof read;
    EXPECT_EQ(session.getProperty(SessionProperty::AudioCategory, &size, &read), noErr);
    EXPECT_EQ(read, kSessionCategoryRecordAudio);
    session.setActive(true);
    EXPECT_TRUE(session.isActive());

    std::thread other([&] { session.raiseInterruption(kSessionBeginInterruption); });
    other.join();
    session.raiseInterruption(kSessionEndInterruption);
    EXPECT_TRUE(heard.empty()) << "delivered at the loop's next turn";
    runLoop().runPending();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].first, kSessionBeginInterruption);
    EXPECT_EQ(heard[1].first, kSessionEndInterruption);
    EXPECT_EQ(heard[0].second, std::this_thread::get_id());
}

namespace {

// A device whose usability the test sets, asked by the session after a loss.
class SwitchableDevice : public Device {
public:
    std::string name() const override { return "switchable"; }
    std::unique_ptr<InputStream> openInput(const StreamBasicDescription&, Status* error, std::string*) override
    {
        *error = kQueueDeviceError;
        return nullptr;
    }
    std::unique_ptr<OutputStream> openOutput(const StreamBasicDescription&, Status* error, std::string*) override
    {
        *error = kQueueDeviceError;
        return nullptr;
    }
    bool isUsable() override { return usable; }
    bool usable { false };
};

} // namespace

TEST_F(SystemSoundTest, OverlappingCausesMakeOneInterruptionAndALostDeviceEndsItWhenUsable)
{
    auto& session = Session::shared();
    auto device = std::make_shared<SwitchableDevice>();
    setCurrentDevice(device);
    std::vector<std::uint32_t> heard;
    session.initialize(nullptr, [&](std::uint32_t state) { heard.push_back(state); });

    session.beginInterruption(InterruptionCause::SystemSleep);
    session.deviceLost();
    session.deviceLost();
    runLoop().runPending();
    EXPECT_EQ(heard, (std::vector<std::uint32_t> { kSessionBeginInterruption }));

    // Waking ends nothing while the device is still lost; the device is asked once a second.
    session.endInterruption(InterruptionCause::SystemSleep);
    session.endInterruption(InterruptionCause::SystemSleep);
    advance(2.5);
    EXPECT_EQ(heard.size(), 1u);
    device->usable = true;
    advance(0.4);
    EXPECT_EQ(heard.size(), 1u);
    advance(0.2);
    EXPECT_EQ(heard, (std::vector<std::uint32_t> { kSessionBeginInterruption, kSessionEndInterruption }));
    EXPECT_FALSE(session.isInterrupted(InterruptionCause::DeviceLost));

    // A later loss begins a new one.
    session.deviceLost();
    advance(1.1);
    EXPECT_EQ(heard.size(), 4u);
}

TEST_F(SystemSoundTest, EachPlayEndsWithOneCompletionAfterTheSound)
{
    SystemSoundID beep = load("beep");
    std::vector<std::int64_t> completions;
    addSystemSoundCompletion(beep, nullptr, [&](SystemSoundID sound) {
        EXPECT_EQ(sound, beep);
        completions.push_back(runLoop().nowNanos());
    });
    playSystemSound(beep);
    advance(0.1);
    playSystemSound(beep);
    advance(1.0);

    // The generated beep lasts 0.22 s (4851 frames at 22050 Hz).
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_NEAR(completions[0] / 1e9, 0.22, 0.001);
    EXPECT_NEAR(completions[1] / 1e9, 0.32, 0.001);
    auto played = device().speakerSamples();
    ASSERT_EQ(played.size(), 2 * 4851u);
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + 4851, played.begin() + 4851));
    EXPECT_GT(*std::max_element(played.begin(), played.end()), 8000) << "audible";

    // Disposing stops a play under way without its completion.
    playSystemSound(beep);
    advance(0.1);
    EXPECT_EQ(disposeSystemSoundID(beep), noErr);
    advance(1.0);
    EXPECT_EQ(completions.size(), 2u);
    EXPECT_EQ(disposeSystemSoundID(beep), kSystemSoundUnspecifiedError);
    playSystemSound(beep); // unknown now: nothing happens
}

TEST_F(SystemSoundTest, FilesThatCannotBeLoadedGiveNoSound)
{
    SystemSoundID sound = 7;
    EXPECT_EQ(createSystemSoundID(documentsPath() + "/missing.caf", &sound), kFileNotFoundError);
    EXPECT_EQ(sound, 0u);
    ASSERT_TRUE(foundation::writeFileAtomically(documentsPath() + "/junk.caf", "junk"));
    EXPECT_EQ(createSystemSoundID(documentsPath() + "/junk.caf", &sound), kFileInvalidFileError);
    for (const char* name : { "crumple", "save" })
        disposeSystemSoundID(load(name));
}
