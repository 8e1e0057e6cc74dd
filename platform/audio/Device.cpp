#include "audio/Device.h"

#include "audio/PortAudioDevice.h"
#include "audio/SoundServerDevice.h"
#include "audio/VirtualDevice.h"
#include "foundation/Log.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace audio {

namespace {

std::mutex& deviceMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<Device>& deviceStorage()
{
    static std::shared_ptr<Device> device;
    return device;
}

// What queues open on when no back-end can serve: every stream is refused with the reason
// given at the start, so nothing pretends to record.
class UnavailableDevice final : public Device {
public:
    UnavailableDevice(std::string name, std::string reason)
        : m_name(std::move(name))
        , m_reason(std::move(reason))
    {
    }
    std::string name() const override { return m_name; }
    std::unique_ptr<InputStream> openInput(const StreamBasicDescription&, Status* error, std::string* reason) override
    {
        return refuse(error, reason);
    }
    std::unique_ptr<OutputStream> openOutput(const StreamBasicDescription&, Status* error, std::string* reason) override
    {
        return refuse(error, reason);
    }
    bool isUsable() override { return false; }

private:
    std::nullptr_t refuse(Status* error, std::string* reason) const
    {
        if (error)
            *error = kQueueNoDeviceError;
        if (reason)
            *reason = m_reason;
        return nullptr;
    }

    std::string m_name;
    std::string m_reason;
};

std::shared_ptr<Device> makeVirtualDevice(const DeviceChoice& choice)
{
    auto device = std::make_shared<VirtualDevice>();
    device->setSpeakerCapturesToMemory(false);
    if (!choice.microphoneFile.empty())
        device->setMicrophoneFile(choice.microphoneFile);
    if (!choice.speakerFile.empty())
        device->setSpeakerFile(choice.speakerFile);
    return device;
}

std::shared_ptr<SoundServerDevice> makeSoundServerDevice(const DeviceChoice& choice)
{
    SoundServerDevice::Options options;
    options.applicationID = choice.applicationID;
    auto device = SoundServerDevice::create(options);
    device->setChosenMicrophone(choice.microphoneDevice);
    device->setChosenSpeaker(choice.speakerDevice);
    return device;
}

// The one line at the start that says what the server lacks; nothing when it has both.
void logMissingServerDevices(SoundServerDevice& device)
{
    std::string microphone, speaker;
    bool hasMicrophone = device.hasMicrophone(&microphone);
    bool hasSpeaker = device.hasSpeaker(&speaker);
    // The reasons read "no microphone (...)", "no speaker".
    if (!hasMicrophone && !hasSpeaker)
        foundation::logf("The %s has %s and %s: recording and playback wait for them.", device.name().c_str(), microphone.c_str(), speaker.c_str());
    else if (!hasMicrophone)
        foundation::logf("The %s has %s: recording waits for one.", device.name().c_str(), microphone.c_str());
    else if (!hasSpeaker)
        foundation::logf("The %s has %s: playback waits for one.", device.name().c_str(), speaker.c_str());
}

std::shared_ptr<Device> chooseDevice(const DeviceChoice& choice)
{
    using Backend = DeviceChoice::Backend;
    if (choice.backend == Backend::Virtual)
        return makeVirtualDevice(choice);
    if (choice.backend == Backend::PortAudio) {
        std::string reason;
        if (auto device = PortAudioDevice::create(&reason))
            return device;
        foundation::logf("No usable sound card (%s): recording and playback are not possible.", reason.c_str());
        return std::make_shared<UnavailableDevice>("PortAudio", "no usable sound card: " + reason);
    }
    auto server = makeSoundServerDevice(choice);
    std::string serverReason;
    if (server->connect(&serverReason)) {
        logMissingServerDevices(*server);
        return server;
    }
    if (choice.backend == Backend::Automatic) {
        std::string cardReason;
        if (auto device = PortAudioDevice::create(&cardReason))
            return device;
        foundation::logf("No sound server answers (%s) and no sound card is usable (%s): recording and playback wait for a sound server.",
            serverReason.c_str(), cardReason.c_str());
        return server;
    }
    foundation::logf("The sound server does not answer (%s): recording and playback wait for it.", serverReason.c_str());
    return server;
}

} // namespace

std::unique_ptr<OutputStream> Device::openOutputFor(OutputPurpose, const StreamBasicDescription& format, Status* error, std::string* reason)
{
    return openOutput(format, error, reason);
}

std::unique_ptr<OutputStream> Device::openEarpiece(const StreamBasicDescription&, Status* error, std::string* reason)
{
    if (error)
        *error = kQueueDeviceError;
    if (reason)
        *reason = "no earpiece";
    return nullptr;
}

bool isEarpieceName(const std::string& deviceName, const std::string& pattern)
{
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
        return text;
    };
    return !pattern.empty() && lower(deviceName).find(lower(pattern)) != std::string::npos;
}

std::string earpiecePattern()
{
    const char* chosen = std::getenv("PARLIVO_EARPIECE_DEVICE");
    return chosen && *chosen ? chosen : "earpiece";
}

std::shared_ptr<Device> currentDevice()
{
    std::lock_guard lock(deviceMutex());
    auto& device = deviceStorage();
    if (!device)
        device = std::make_shared<VirtualDevice>();
    return device;
}

void setCurrentDevice(std::shared_ptr<Device> device)
{
    std::lock_guard lock(deviceMutex());
    deviceStorage() = std::move(device);
}

std::shared_ptr<Device> useDevices(const DeviceChoice& choice)
{
    auto device = chooseDevice(choice);
    setCurrentDevice(device);
    return device;
}

} // namespace audio
