#include "ParlivoAppDelegate.h"

#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"

void ParlivoAppDelegate::initialize()
{
    foundation::UserDefaults::standardUserDefaults().registerDefaults({
        { "interruptedRecordingKey", "-1" },
        { "defaultCategory", foundation::localizedString("General") },
        { "soundEffects", "Yes" },
        { "aboutScreenHidden", "NO" },
        { "emptyTrash", "NO" },
        { "playMode", "speaker" },
        { "sampleRate", "22050" },
        { "showImages", "NO" },
        { "listStyle", "grouped" },
        { "instantRecord", "NO" },
        { "saveOption", "titleEditor" },
        { "recordTimer", "Yes" },
    });
}
