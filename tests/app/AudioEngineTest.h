#pragma once

#include "AudioTestEnvironment.h"

#include "AudioQueueObject.h"
#include "ParlivoAppDelegate.h"

#include "audio/File.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/UUID.h"
#include "foundation/UserDefaults.h"
#include "HelperMethods.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

/// Shared by the recorder and player tests: registered settings, a fresh audio file name and
/// a log of the queue notifications in the order they were posted.
class AudioEngineTest : public testsupport::AudioTestEnvironment {
protected:
    struct Posted {
        std::string name;
        const void* object;
        std::int64_t nanos;
    };

    void SetUp() override
    {
        AudioTestEnvironment::SetUp();
        ParlivoAppDelegate::initialize();
        for (const char* name : { PRLVNotificationAudioQueueWillStart, PRLVNotificationAudioQueueDidStart,
                 PRLVNotificationAudioQueueWillStop, PRLVNotificationAudioQueueDidStop }) {
            foundation::NotificationCenter::defaultCenter().addObserver(this, name, nullptr,
                [this](const foundation::Notification& n) { m_posted.push_back({ n.name(), n.object(), runLoop().nowNanos() }); });
        }
    }

    void setSetting(const std::string& key, const std::string& value)
    {
        foundation::UserDefaults::standardUserDefaults().setObjectForKey(value, key);
    }

    std::string path(const std::string& name) const { return *HelperMethods::getFullAudioFilePath(name); }

    /// Writes samples as a recording's file in the bound format.
    void writeRecording(const std::string& name, const std::vector<std::int16_t>& samples, double rate = 22050)
    {
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(path(name), audio::kFileCAFType, audio::linearPCM16(rate, 1), audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        auto n = static_cast<std::uint32_t>(samples.size());
        ASSERT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), audio::noErr);
    }

    /// The names posted so far, without their prefix ("WillStart", "DidStop"), then forgotten.
    std::vector<std::string> takePosted()
    {
        std::vector<std::string> names;
        for (const auto& p : m_posted)
            names.push_back(p.name.substr(std::string("PRLVNotificationAudioQueue").size()));
        m_posted.clear();
        return names;
    }

    using Names = std::vector<std::string>;

    /// For tests on the system clock: runs the loop until done() or timeout seconds; a short
    /// timer wakes the loop to look at the condition.
    bool runUntil(const std::function<bool()>& done, double timeout)
    {
        auto poll = runLoop().scheduleTimer(0.01, true, [](foundation::Timer&) {});
        bool result = runLoop().runUntil(done, timeout, timeout + 5);
        poll->invalidate();
        return result;
    }
    bool posted(const std::string& name, const void* object) const
    {
        return std::any_of(m_posted.begin(), m_posted.end(), [&](const Posted& p) { return p.name == name && p.object == object; });
    }

    const std::string m_name { foundation::makeUUIDString() };
    std::vector<Posted> m_posted;
};
