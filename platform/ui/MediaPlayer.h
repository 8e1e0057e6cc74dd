#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

/// Whether a media player plays.
enum class PlaybackStatus { Stopped, Playing, Paused };

/// What a media player tells of the recording it plays or would play.
struct MediaMetadata {
    /// Identifies the recording for the run (its key, say); 0 when it has none yet.
    long long identifier { 0 };
    std::string title;
    double lengthSeconds { 0 };
    std::string category;
    /// The recording's picture as stored (PNG, JPEG...); none when it has none.
    std::shared_ptr<const std::vector<std::uint8_t>> artwork;
    friend bool operator==(const MediaMetadata&, const MediaMetadata&) = default;
};

/// A screen that plays recordings, as the desktop's media keys and controls see it. The
/// screen that plays or was shown last makes itself the application's media player
/// (Application::setMediaPlayer) and calls Application::mediaPlayerDidChange whenever what
/// these answer may have changed; the host passes both on to the desktop. Each request does
/// what the screen's own button would, and nothing where that button is not offered. Main
/// thread.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;

    virtual PlaybackStatus playbackStatus() const = 0;
    /// The recording played or offered for playing; none when there is none.
    virtual std::shared_ptr<const MediaMetadata> nowPlaying() const = 0;
    /// Seconds into the recording played; 0 when stopped.
    virtual double position() const { return 0; }
    virtual bool canPlay() const = 0;
    virtual bool canPause() const = 0;
    virtual bool canGoNext() const { return false; }
    virtual bool canGoPrevious() const { return false; }
    /// Whether seekTo() would move the playback now.
    virtual bool canSeek() const { return false; }

    virtual void play() = 0;
    virtual void pause() = 0;
    /// Plays when paused or stopped, pauses when playing.
    virtual void playPause();
    virtual void stop() = 0;
    virtual void next() { }
    virtual void previous() { }
    /// Moves the playback to seconds into the recording, as moving the slider there would
    /// (paused, the place waits for the next play). Nothing where canSeek() is false.
    virtual void seekTo(double) { }
};

} // namespace ui
