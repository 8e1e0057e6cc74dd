#include "audio/SystemSound.h"

#include "audio/Queue.h"
#include "foundation/FileManager.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <sndfile.h>
#include <vector>

namespace audio {

namespace {

constexpr double kLongestSound = 30.0;

struct Sound {
    StreamBasicDescription format;
    std::vector<std::int16_t> samples;
    foundation::RunLoop* runLoop { nullptr };
    SystemSoundCompletion completion;
    std::vector<std::shared_ptr<Queue>> plays;
};

class Registry {
public:
    static Registry& shared()
    {
        static Registry registry;
        return registry;
    }

    SystemSoundID add(Sound sound)
    {
        std::lock_guard lock(m_mutex);
        SystemSoundID id = ++m_lastID;
        m_sounds.emplace(id, std::move(sound));
        return id;
    }

    Status setCompletion(SystemSoundID id, foundation::RunLoop* runLoop, SystemSoundCompletion completion)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_sounds.find(id);
        if (it == m_sounds.end())
            return kSystemSoundUnspecifiedError;
        it->second.runLoop = runLoop;
        it->second.completion = std::move(completion);
        return noErr;
    }

    void play(SystemSoundID id)
    {
        std::unique_lock lock(m_mutex);
        auto it = m_sounds.find(id);
        if (it == m_sounds.end())
            return;
        const Sound& sound = it->second;
        std::shared_ptr<Queue> queue;
        if (Queue::newOutput(sound.format, nullptr, nullptr, &queue, OutputRoute::Default, OutputPurpose::SystemSound) != noErr) {
            lock.unlock();
            completeUnplayed(id);
            return;
        }
        auto bytes = static_cast<std::uint32_t>(sound.samples.size() * sizeof(std::int16_t));
        Buffer* buffer = nullptr;
        if (bytes > 0 && queue->allocateBuffer(bytes, &buffer) == noErr) {
            std::copy(sound.samples.begin(), sound.samples.end(), static_cast<std::int16_t*>(buffer->mAudioData));
            buffer->mAudioDataByteSize = bytes;
            queue->enqueueBuffer(buffer);
        }
        Queue* raw = queue.get();
        queue->addPropertyListener(QueueProperty::IsRunning, this, [this, id, raw](Queue&, QueueProperty) { finished(id, raw); });
        it->second.plays.push_back(queue);
        lock.unlock();
        if (queue->start() != noErr) {
            {
                std::lock_guard relock(m_mutex);
                if (auto again = m_sounds.find(id); again != m_sounds.end())
                    std::erase(again->second.plays, queue);
            }
            queue->dispose(true);
            completeUnplayed(id);
            return;
        }
        queue->stop(false);
    }

    Status remove(SystemSoundID id)
    {
        std::vector<std::shared_ptr<Queue>> plays;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_sounds.find(id);
            if (it == m_sounds.end())
                return kSystemSoundUnspecifiedError;
            plays = std::move(it->second.plays);
            m_sounds.erase(it);
        }
        for (auto& queue : plays)
            queue->dispose(true);
        return noErr;
    }

private:
    // A play the device refused still ends, on a later turn of the loop, so whoever waits for
    // the sound goes on.
    void completeUnplayed(SystemSoundID id)
    {
        foundation::RunLoop* runLoop = nullptr;
        SystemSoundCompletion completion;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_sounds.find(id);
            if (it == m_sounds.end() || !it->second.completion)
                return;
            runLoop = it->second.runLoop;
            completion = it->second.completion;
        }
        (runLoop ? runLoop : &foundation::RunLoop::main())->post([this, completion, id] {
            {
                // A sound disposed of meanwhile reports nothing.
                std::lock_guard lock(m_mutex);
                if (!m_sounds.contains(id))
                    return;
            }
            completion(id);
        });
    }

    // Runs on the main run loop when a play's queue has stopped.
    void finished(SystemSoundID id, Queue* queue)
    {
        std::shared_ptr<Queue> play;
        foundation::RunLoop* runLoop = nullptr;
        SystemSoundCompletion completion;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_sounds.find(id);
            if (it == m_sounds.end())
                return;
            auto& plays = it->second.plays;
            auto found = std::find_if(plays.begin(), plays.end(), [&](const auto& q) { return q.get() == queue; });
            std::uint32_t running = 0;
            std::uint32_t size = sizeof running;
            queue->getProperty(QueueProperty::IsRunning, &running, &size);
            if (found == plays.end() || running)
                return;
            play = *found;
            plays.erase(found);
            runLoop = it->second.runLoop;
            completion = it->second.completion;
        }
        play->dispose(true);
        if (!completion)
            return;
        if (!runLoop || runLoop->isCurrentThread())
            completion(id);
        else
            runLoop->post([completion, id] { completion(id); });
    }

    std::mutex m_mutex;
    std::map<SystemSoundID, Sound> m_sounds;
    SystemSoundID m_lastID { 0 };
};

} // namespace

Status createSystemSoundID(const std::string& path, SystemSoundID* outSound)
{
    if (!outSound)
        return kSystemSoundUnspecifiedError;
    *outSound = 0;
    if (!foundation::fileExists(path))
        return kFileNotFoundError;
    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return kFileInvalidFileError;
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 1
        || static_cast<double>(info.frames) > kLongestSound * info.samplerate) {
        sf_close(file);
        return kSystemSoundUnspecifiedError;
    }
    Sound sound;
    sound.format = linearPCM16(info.samplerate, static_cast<std::uint32_t>(info.channels));
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_count_t got = sf_readf_short(file, sound.samples.data(), info.frames);
    sf_close(file);
    sound.samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(got, 0) * info.channels));
    *outSound = Registry::shared().add(std::move(sound));
    return noErr;
}

Status addSystemSoundCompletion(SystemSoundID sound, foundation::RunLoop* runLoop, SystemSoundCompletion completion)
{
    return Registry::shared().setCompletion(sound, runLoop ? runLoop : &foundation::RunLoop::main(), std::move(completion));
}

void removeSystemSoundCompletion(SystemSoundID sound)
{
    Registry::shared().setCompletion(sound, nullptr, nullptr);
}

void playSystemSound(SystemSoundID sound)
{
    Registry::shared().play(sound);
}

Status disposeSystemSoundID(SystemSoundID sound)
{
    return Registry::shared().remove(sound);
}

} // namespace audio
