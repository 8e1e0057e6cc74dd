#pragma once

#include "audio/Types.h"

#include <cstdint>
#include <functional>
#include <string>

namespace foundation {
class RunLoop;
}

namespace audio {

/// A short sound loaded for playing; 0 is never a valid sound.
using SystemSoundID = std::uint32_t;
using SystemSoundCompletion = std::function<void(SystemSoundID sound)>;

/// Loads a short sound file (any format libsndfile reads, at most 30 s) into memory. A missing
/// file gives kFileNotFoundError, an unreadable one kFileInvalidFileError, a longer one
/// kSystemSoundUnspecifiedError; *outSound is then 0.
Status createSystemSoundID(const std::string& path, SystemSoundID* outSound);
/// Calls completion on runLoop (the main run loop when null) each time a play of the sound
/// has ended; replaces an earlier completion.
Status addSystemSoundCompletion(SystemSoundID sound, foundation::RunLoop* runLoop, SystemSoundCompletion completion);
void removeSystemSoundCompletion(SystemSoundID sound);
/// Plays the sound once through the current device's speaker; plays may overlap. An unknown
/// sound does nothing. Called on the main thread.
void playSystemSound(SystemSoundID sound);
/// Stops the sound's plays (their completions are not called) and forgets the sound.
Status disposeSystemSoundID(SystemSoundID sound);

} // namespace audio
