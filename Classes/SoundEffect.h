#pragma once

#include "audio/SystemSound.h"

#include <memory>
#include <optional>
#include <string>

/// A short resource sound ("beep", "crumple", "save") played through the system-sound
/// service, telling its delegate when each play has finished. Obeys the "soundEffects"
/// setting as it was when the sound was made: with it off the sound loads nothing, never
/// plays and never reports.
///
/// Made and played on the main thread; the delegate is told on the main run loop.
class SoundEffect {
public:
    /// Told when a play of the sound has ended; the default does nothing.
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void soundEffectDidFinishPlaying(SoundEffect* soundEffect);
    };

    /// None for no path; otherwise initWithContentsOfFile's result.
    static std::shared_ptr<SoundEffect> soundEffectWithContentsOfFile(const std::optional<std::string>& path);
    /// The sound at path, or null after logging "NSURL is nil for path: %@" (empty path) or
    /// "Error %d loading sound at path: %@" (a file the service cannot load).
    static std::shared_ptr<SoundEffect> initWithContentsOfFile(const std::string& path);
    ~SoundEffect();
    SoundEffect(const SoundEffect&) = delete;
    SoundEffect& operator=(const SoundEffect&) = delete;

    /// Plays once when sound effects were on at creation; otherwise does nothing.
    void play();

    /// Not owned: the delegate must outlive the sound or be cleared.
    const std::weak_ptr<Delegate>& delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<Delegate> delegate) { m_delegate = std::move(delegate); }
    const std::string& filePath() const { return m_filePath; }
    void setFilePath(const std::string& path) { m_filePath = path; }
    bool soundEffectsOn() const { return m_soundEffectsOn; }
    /// The system-sound handle; 0 while none was made.
    audio::SystemSoundID soundID() const { return m_soundID; }

private:
    SoundEffect() = default;
    static void SoundCompletionProc(audio::SystemSoundID sound, SoundEffect* clientData);

    std::string m_filePath;
    audio::SystemSoundID m_soundID { 0 };
    bool m_soundEffectsOn { false };
    std::weak_ptr<Delegate> m_delegate;
};
