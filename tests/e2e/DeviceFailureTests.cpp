// The studio on a sound device that refuses its streams or is lost while recording: no crash,
// a message or an interruption, nothing recorded lost, and the studio usable afterwards.
#include "StudioTest.h"

#include "audio/Device.h"
#include "audio/Session.h"
#include "foundation/Log.h"

#include <atomic>

using namespace e2e;

namespace {

/// The virtual devices, with two faults a test switches on: streams refused at opening, and a
/// microphone that stops delivering (as one pulled out does) until it is back.
class FaultyDevice : public audio::Device {
public:
    explicit FaultyDevice(std::shared_ptr<audio::Device> inner)
        : m_inner(std::move(inner))
    {
    }

    std::atomic<bool> refuses { false };
    std::atomic<bool> unplugged { false };

    std::string name() const override { return "faulty"; }
    std::unique_ptr<audio::InputStream> openInput(const audio::StreamBasicDescription& format, audio::Status* error, std::string* reason) override
    {
        if (refuses) {
            refuse(error, reason);
            return nullptr;
        }
        auto stream = m_inner->openInput(format, error, reason);
        return stream ? std::make_unique<Input>(std::move(stream), *this) : nullptr;
    }
    std::unique_ptr<audio::OutputStream> openOutput(const audio::StreamBasicDescription& format, audio::Status* error, std::string* reason) override
    {
        if (refuses) {
            refuse(error, reason);
            return nullptr;
        }
        return m_inner->openOutput(format, error, reason);
    }
    bool isUsable() override { return !refuses && !unplugged; }

private:
    class Input : public audio::InputStream {
    public:
        Input(std::unique_ptr<audio::InputStream> inner, FaultyDevice& device)
            : m_inner(std::move(inner))
            , m_device(device)
        {
        }
        audio::Pacing pacing() const override { return m_inner->pacing(); }
        audio::Status start() override { return m_inner->start(); }
        void stop() override { m_inner->stop(); }
        std::size_t read(std::int16_t* samples, std::size_t frames) override
        {
            return m_device.unplugged ? 0 : m_inner->read(samples, frames);
        }
        void interrupt() override { m_inner->interrupt(); }
        std::string failure() const override { return m_device.unplugged ? "unplugged" : std::string(); }

    private:
        std::unique_ptr<audio::InputStream> m_inner;
        FaultyDevice& m_device;
    };

    static void refuse(audio::Status* error, std::string* reason)
    {
        if (error)
            *error = -1;
        if (reason)
            *reason = "busy";
    }

    std::shared_ptr<audio::Device> m_inner;
};

class DeviceFailureTest : public StudioTest {
protected:
    void SetUp() override
    {
        StudioTest::SetUp();
        m_faulty = std::make_shared<FaultyDevice>(audio::currentDevice());
        audio::setCurrentDevice(m_faulty);
    }
    std::shared_ptr<FaultyDevice> m_faulty;
};

} // namespace

TEST_F(DeviceFailureTest, ARefusedDeviceGivesAMessageAndTheStudioRecordsOnceItIsBack)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    foundation::LogCapture log;
    m_faulty->refuses = true;
    tap(*studio.recordButton());
    // The beep cannot play either: it completes at once, and the recorder cannot start.
    ASSERT_TRUE(runUntilState(StudioStateReady, 3.0));
    ASSERT_TRUE(runUntil([&] { return shownAlert() != nullptr; }, 2.0));
    EXPECT_EQ(shownAlert()->title(), text("Recording Failed Prompt Title"));
    EXPECT_TRUE(log.containsFragment("faulty")) << "the log names the device";
    EXPECT_FALSE(studio.recorder() && studio.recorder()->isRunning());
    tap(*shownAlert()->buttons()[0]);
    // The carousel turns back to the record button.
    advance(1.0);

    m_faulty->refuses = false;
    record(1.0);
    stopRecording();
    EXPECT_EQ(studio.currentRecording(), recording);
    EXPECT_EQ(samplesOf(recording->audioFileName()), tone(22050));
}

TEST_F(DeviceFailureTest, AMicrophoneLostWhileRecordingHoldsTheRecordingAndKeepsItsSound)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    record(1.0);
    foundation::LogCapture log;
    m_faulty->unplugged = true;
    // The loss is noticed at the next buffer: the session's interruption begins and the studio
    // holds what it has.
    ASSERT_TRUE(runUntil([&] { return audio::Session::shared().isInterrupted(audio::InterruptionCause::DeviceLost); }, 2.0));
    advance(0.5);
    EXPECT_TRUE(log.containsFragment("Lost the microphone of faulty: unplugged"));
    EXPECT_EQ(studio.promptLabel()->text(), text("Recording Held Prompt"));
    EXPECT_FALSE(studio.recorder() && studio.recorder()->isRunning());
    const size_t held = samplesOf(recording->audioFileName()).size();
    EXPECT_GE(held, 22050u) << "nothing recorded before the loss is lost";

    // Plugged in again: the interruption ends within the device watch's second, and stop
    // files everything.
    m_faulty->unplugged = false;
    ASSERT_TRUE(runUntil([&] { return !audio::Session::shared().isInterrupted(audio::InterruptionCause::DeviceLost); }, 3.0));
    advance(0.5);
    stopRecording();
    auto samples = samplesOf(recording->audioFileName());
    ASSERT_GE(samples.size(), held);
    EXPECT_EQ(std::vector<std::int16_t>(samples.begin(), samples.begin() + 22050), tone(22050));
    EXPECT_NEAR(recording->length(), static_cast<double>(samples.size()) / 22050, 0.01);

    // And the studio goes on as usual.
    tap(*studio.smallDeleteButton());
    waitUntilReady();
    record(0.5);
    stopRecording();
}
