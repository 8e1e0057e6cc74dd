#include "SoundEffect.h"

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

void SoundEffect::Delegate::soundEffectDidFinishPlaying(SoundEffect*)
{
}

std::shared_ptr<SoundEffect> SoundEffect::soundEffectWithContentsOfFile(const std::optional<std::string>& path)
{
    if (!path)
        return nullptr;
    return initWithContentsOfFile(*path);
}

std::shared_ptr<SoundEffect> SoundEffect::initWithContentsOfFile(const std::string& path)
{
    std::shared_ptr<SoundEffect> sound(new SoundEffect());
    sound->m_filePath = path;
    sound->m_soundEffectsOn = foundation::UserDefaults::standardUserDefaults().boolForKey("soundEffects");
    if (!sound->m_soundEffectsOn || sound->m_soundID != 0)
        return sound;
    if (path.empty()) {
        foundation::logf("NSURL is nil for path: %s", path.c_str());
        return nullptr;
    }
    audio::SystemSoundID soundID = 0;
    audio::Status error = audio::createSystemSoundID(path, &soundID);
    if (error != audio::noErr) {
        foundation::logf("Error %d loading sound at path: %s", static_cast<int>(error), path.c_str());
        return nullptr;
    }
    sound->m_soundID = soundID;
    SoundEffect* clientData = sound.get();
    audio::addSystemSoundCompletion(soundID, nullptr, [clientData](audio::SystemSoundID id) { SoundCompletionProc(id, clientData); });
    return sound;
}

SoundEffect::~SoundEffect()
{
    m_filePath.clear();
    // Disposing also drops the completion, so no call can reach this object afterwards.
    if (m_soundID != 0)
        audio::disposeSystemSoundID(m_soundID);
    m_delegate.reset();
}

void SoundEffect::play()
{
    if (m_soundEffectsOn)
        audio::playSystemSound(m_soundID);
}

void SoundEffect::SoundCompletionProc(audio::SystemSoundID, SoundEffect* clientData)
{
    if (auto delegate = clientData->m_delegate.lock())
        delegate->soundEffectDidFinishPlaying(clientData);
}
