#include "ui/MediaPlayer.h"

namespace ui {

void MediaPlayer::playPause()
{
    if (playbackStatus() == PlaybackStatus::Playing)
        pause();
    else
        play();
}

} // namespace ui
