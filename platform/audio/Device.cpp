#include "audio/Device.h"

#include "audio/PortAudioDevice.h"
#include "audio/VirtualDevice.h"
#include "foundation/Log.h"

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

} // namespace

std::unique_ptr<OutputStream> Device::openEarpiece(const StreamBasicDescription&, Status* error, std::string* reason)
{
    if (error)
        *error = kQueueDeviceError;
    if (reason)
        *reason = "no earpiece";
    return nullptr;
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
    if (choice.backend == DeviceChoice::Backend::PortAudio) {
        std::string reason;
        if (auto device = PortAudioDevice::create(&reason)) {
            setCurrentDevice(device);
            return device;
        }
        foundation::logf("No usable sound device (%s): using the virtual microphone and speaker.", reason.c_str());
    }
    auto device = std::make_shared<VirtualDevice>();
    device->setSpeakerCapturesToMemory(false);
    if (!choice.microphoneFile.empty())
        device->setMicrophoneFile(choice.microphoneFile);
    if (!choice.speakerFile.empty())
        device->setSpeakerFile(choice.speakerFile);
    setCurrentDevice(device);
    return device;
}

} // namespace audio
