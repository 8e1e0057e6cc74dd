#include "StandInCard.h"

#include <atomic>
#include <chrono>
#include <cmath>
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
    double piece { 0 };
    bool ahead { false };
    double firstDelay { 0 };
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
    unsigned long period { kPeriod };
    PaStreamInfo info {};
    double piece { 0 };
    bool ahead { false };
    double firstDelay { 0 };

    // When the callback of period n (from 1) is due, in seconds after the start.
    double dueAt(std::uint64_t n) const
    {
        const double length = double(period) / rate;
        double due = double(n) * length;
        if (piece > 0)
            due = ahead ? std::floor(double(n - 1) * length / piece + 1e-9) * piece : std::ceil(due / piece - 1e-9) * piece;
        return n > 1 ? due + firstDelay : due;
    }

    void run(std::uint64_t failuresAtStart)
    {
        using Clock = std::chrono::steady_clock;
        std::vector<std::int16_t> samples(period * static_cast<std::size_t>(channels));
        auto origin = Clock::now();
        for (std::uint64_t n = 1;; ++n) {
            auto due = origin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(dueAt(n)));
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
                    for (unsigned long f = 0; f < period; ++f) {
                        std::int16_t value = card().microphone ? card().microphone(card().captured + static_cast<std::int64_t>(f)) : 0;
                        for (int c = 0; c < channels; ++c)
                            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = value;
                    }
                    card().captured += static_cast<std::int64_t>(period);
                }
                result = callback(samples.data(), nullptr, period, nullptr, 0, userData);
            } else {
                std::fill(samples.begin(), samples.end(), 0);
                result = callback(nullptr, samples.data(), period, nullptr, 0, userData);
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
    card().piece = 0;
    card().ahead = false;
    card().firstDelay = 0;
}

void StandInCard::callBackInPieces(double seconds, bool ahead)
{
    std::lock_guard lock(card().mutex);
    card().piece = seconds;
    card().ahead = ahead;
}

void StandInCard::delayAfterFirstCallback(double seconds)
{
    std::lock_guard lock(card().mutex);
    card().firstDelay = seconds;
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

PaError openStream(PaStream** stream, bool input, int channels, PaDeviceIndex device, double sampleRate, unsigned long framesPerBuffer,
    double latency, PaStreamCallback* streamCallback, void* userData)
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
    if (framesPerBuffer != paFramesPerBufferUnspecified)
        opened->period = framesPerBuffer;
    opened->info.structVersion = 1;
    opened->info.sampleRate = sampleRate;
    {
        std::lock_guard lock(card().mutex);
        opened->piece = card().piece;
        opened->ahead = card().ahead;
        opened->firstDelay = card().firstDelay;
    }
    // An output device cannot take more at once than it buffers.
    (input ? opened->info.inputLatency : opened->info.outputLatency) = input ? latency : std::max(latency, opened->piece);
    *stream = opened;
    return paNoError;
}

} // namespace standin

PaError Pa_OpenStream(PaStream** stream, const PaStreamParameters* inputParameters, const PaStreamParameters* outputParameters,
    double sampleRate, unsigned long framesPerBuffer, PaStreamFlags, PaStreamCallback* streamCallback, void* userData)
{
    const PaStreamParameters* parameters = inputParameters ? inputParameters : outputParameters;
    if (!parameters || parameters->device == paNoDevice)
        return paInvalidDevice;
    return standin::openStream(stream, inputParameters != nullptr, parameters->channelCount, parameters->device, sampleRate, framesPerBuffer,
        parameters->suggestedLatency, streamCallback, userData);
}

const PaStreamInfo* Pa_GetStreamInfo(PaStream* stream)
{
    return &static_cast<Stream*>(stream)->info;
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
