#include "StandInCard.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace standin {

namespace {

constexpr unsigned long kPeriod = 256;

struct Card {
    std::mutex mutex;
    PaError refusal { paNoError };
    std::function<std::int16_t(std::int64_t)> microphone;
    std::int64_t captured { 0 };
    std::vector<std::int16_t> played;
    std::vector<std::int16_t> playedOnEarpiece;
    std::atomic<bool> earpiece { false };
    std::atomic<bool> stalled { false };
    std::atomic<bool> present { true };
    std::atomic<int> initializations { 0 };
    std::atomic<std::uint64_t> failures { 0 };
};

Card& card()
{
    static Card instance;
    return instance;
}

const PaDeviceInfo kDeviceInfo { 2, "stand-in card", 0, 1, 1, 0.01, 0.01, 0.1, 0.1, 44100 };
constexpr PaDeviceIndex kEarpieceIndex = 2;
const PaDeviceInfo kEarpieceInfo { 2, "stand-in Earpiece", 0, 0, 1, 0.01, 0.01, 0.1, 0.1, 44100 };

} // namespace

struct Stream {
    bool input { false };
    bool earpiece { false };
    int channels { 1 };
    double rate { 0 };
    PaStreamCallback* callback { nullptr };
    void* userData { nullptr };
    PaStreamFinishedCallback* finished { nullptr };
    std::thread thread;
    std::mutex mutex;
    std::condition_variable condition;
    bool stopRequested { false };
    std::atomic<bool> active { false };

    void run(std::uint64_t failuresAtStart)
    {
        using Clock = std::chrono::steady_clock;
        std::vector<std::int16_t> samples(kPeriod * static_cast<std::size_t>(channels));
        auto origin = Clock::now();
        for (std::uint64_t period = 1;; ++period) {
            auto due = origin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(period * kPeriod) / rate));
            {
                std::unique_lock lock(mutex);
                if (condition.wait_until(lock, due, [&] { return stopRequested; }))
                    break;
            }
            if (card().failures.load() != failuresAtStart)
                break;
            if (card().stalled)
                continue;
            int result;
            if (input) {
                {
                    std::lock_guard lock(card().mutex);
                    for (unsigned long f = 0; f < kPeriod; ++f) {
                        std::int16_t value = card().microphone ? card().microphone(card().captured + static_cast<std::int64_t>(f)) : 0;
                        for (int c = 0; c < channels; ++c)
                            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = value;
                    }
                    card().captured += kPeriod;
                }
                result = callback(samples.data(), nullptr, kPeriod, nullptr, 0, userData);
            } else {
                std::fill(samples.begin(), samples.end(), 0);
                result = callback(nullptr, samples.data(), kPeriod, nullptr, 0, userData);
                std::lock_guard lock(card().mutex);
                auto& sink = earpiece ? card().playedOnEarpiece : card().played;
                sink.insert(sink.end(), samples.begin(), samples.end());
            }
            if (result != paContinue)
                break;
        }
        active = false;
        if (finished)
            finished(userData);
    }
};

void StandInCard::reset()
{
    std::lock_guard lock(card().mutex);
    card().refusal = paNoError;
    card().microphone = nullptr;
    card().captured = 0;
    card().played.clear();
    card().playedOnEarpiece.clear();
    card().earpiece = false;
    card().stalled = false;
    card().present = true;
    card().initializations = 0;
}

void StandInCard::refuseStreams(PaError error)
{
    std::lock_guard lock(card().mutex);
    card().refusal = error;
}

void StandInCard::setMicrophone(std::function<std::int16_t(std::int64_t)> sample)
{
    std::lock_guard lock(card().mutex);
    card().microphone = std::move(sample);
}

std::int64_t StandInCard::framesCaptured()
{
    std::lock_guard lock(card().mutex);
    return card().captured;
}

std::vector<std::int16_t> StandInCard::played()
{
    std::lock_guard lock(card().mutex);
    return card().played;
}

void StandInCard::setEarpiece(bool present)
{
    card().earpiece = present;
}

std::vector<std::int16_t> StandInCard::playedOnEarpiece()
{
    std::lock_guard lock(card().mutex);
    return card().playedOnEarpiece;
}

void StandInCard::stallCallbacks(bool stalled)
{
    card().stalled = stalled;
}

void StandInCard::failStreams()
{
    ++card().failures;
}

void StandInCard::setPresent(bool present)
{
    card().present = present;
}

int StandInCard::initializations()
{
    return card().initializations;
}

} // namespace standin

using standin::Stream;

extern "C" {

PaError Pa_Initialize(void)
{
    ++standin::card().initializations;
    return paNoError;
}

PaError Pa_Terminate(void)
{
    return paNoError;
}

const char* Pa_GetErrorText(PaError error)
{
    switch (error) {
    case paNoError:
        return "Success";
    case paInvalidSampleRate:
        return "Invalid sample rate";
    case paDeviceUnavailable:
        return "Device unavailable";
    default:
        return "Stand-in error";
    }
}

const PaHostErrorInfo* Pa_GetLastHostErrorInfo(void)
{
    static const PaHostErrorInfo info { paALSA, 0, "" };
    return &info;
}

PaDeviceIndex Pa_GetDefaultInputDevice(void)
{
    return standin::card().present ? 0 : paNoDevice;
}

PaDeviceIndex Pa_GetDefaultOutputDevice(void)
{
    return standin::card().present ? 1 : paNoDevice;
}

PaDeviceIndex Pa_GetDeviceCount(void)
{
    return standin::card().earpiece ? 3 : 2;
}

const PaDeviceInfo* Pa_GetDeviceInfo(PaDeviceIndex device)
{
    if (device == standin::kEarpieceIndex && standin::card().earpiece)
        return &standin::kEarpieceInfo;
    return device == 0 || device == 1 ? &standin::kDeviceInfo : nullptr;
}

namespace standin {

PaError openStream(PaStream** stream, bool input, int channels, PaDeviceIndex device, double sampleRate, PaStreamCallback* streamCallback,
    void* userData)
{
    {
        std::lock_guard lock(card().mutex);
        if (card().refusal != paNoError)
            return card().refusal;
    }
    if (!card().present || (device == kEarpieceIndex && !card().earpiece))
        return paDeviceUnavailable;
    if (sampleRate < 4000 || sampleRate > 192000)
        return paInvalidSampleRate;
    auto* opened = new Stream;
    opened->input = input;
    opened->earpiece = device == kEarpieceIndex;
    opened->channels = channels;
    opened->rate = sampleRate;
    opened->callback = streamCallback;
    opened->userData = userData;
    *stream = opened;
    return paNoError;
}

} // namespace standin

PaError Pa_OpenDefaultStream(PaStream** stream, int numInputChannels, int numOutputChannels, PaSampleFormat, double sampleRate,
    unsigned long, PaStreamCallback* streamCallback, void* userData)
{
    const bool input = numInputChannels > 0;
    return standin::openStream(stream, input, input ? numInputChannels : numOutputChannels, input ? 0 : 1, sampleRate, streamCallback, userData);
}

PaError Pa_OpenStream(PaStream** stream, const PaStreamParameters* inputParameters, const PaStreamParameters* outputParameters,
    double sampleRate, unsigned long, PaStreamFlags, PaStreamCallback* streamCallback, void* userData)
{
    const PaStreamParameters* parameters = inputParameters ? inputParameters : outputParameters;
    if (!parameters)
        return paInvalidDevice;
    return standin::openStream(stream, inputParameters != nullptr, parameters->channelCount, parameters->device, sampleRate, streamCallback,
        userData);
}

PaError Pa_SetStreamFinishedCallback(PaStream* stream, PaStreamFinishedCallback* callback)
{
    static_cast<Stream*>(stream)->finished = callback;
    return paNoError;
}

PaError Pa_StartStream(PaStream* stream)
{
    auto* s = static_cast<Stream*>(stream);
    if (s->active)
        return paStreamIsNotStopped;
    if (s->thread.joinable())
        s->thread.join();
    s->stopRequested = false;
    s->active = true;
    s->thread = std::thread(&Stream::run, s, standin::card().failures.load());
    return paNoError;
}

PaError Pa_StopStream(PaStream* stream)
{
    auto* s = static_cast<Stream*>(stream);
    {
        std::lock_guard lock(s->mutex);
        s->stopRequested = true;
    }
    s->condition.notify_all();
    if (s->thread.joinable())
        s->thread.join();
    return paNoError;
}

PaError Pa_AbortStream(PaStream* stream)
{
    return Pa_StopStream(stream);
}

PaError Pa_CloseStream(PaStream* stream)
{
    Pa_StopStream(stream);
    delete static_cast<Stream*>(stream);
    return paNoError;
}

PaError Pa_IsStreamActive(PaStream* stream)
{
    return static_cast<Stream*>(stream)->active ? 1 : 0;
}

} // extern "C"
