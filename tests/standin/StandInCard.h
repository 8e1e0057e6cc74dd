#pragma once

#include <portaudio.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace standin {

/// A sound card behind a stand-in of the PortAudio functions the program calls, linked into
/// this test program in place of the library: one input and one output device whose streams
/// call back every period (the frames per buffer asked for, else 256) at the stream's rate in
/// real time, on a thread of their own, as PortAudio does. Tests make it refuse streams, fail
/// them or stop calling back, or make it behave as a sound server reached through ALSA does:
/// calling back in large pieces, or late once at the start.
class StandInCard {
public:
    /// Back to a working card with a silent microphone and nothing played.
    static void reset();
    /// Streams opened from now on fail with error (paNoError: they open).
    static void refuseStreams(PaError error);
    /// Sample i of the microphone since the card was reset.
    static void setMicrophone(std::function<std::int16_t(std::int64_t)> sample);
    /// Frames handed to input callbacks so far.
    static std::int64_t framesCaptured();
    /// Everything the output callbacks wrote, in order.
    static std::vector<std::int16_t> played();
    /// Whether the card also lists an output device named "stand-in Earpiece" (off after reset).
    static void setEarpiece(bool present);
    /// Everything output callbacks of streams on that device wrote, in order.
    static std::vector<std::int16_t> playedOnEarpiece();
    /// Running streams keep their thread but stop calling back (a device gone quiet).
    static void stallCallbacks(bool stalled);
    /// Running streams end by themselves, as when the device is unplugged: their finished
    /// callbacks run and they report inactive.
    static void failStreams();
    /// Whether a default device is reported (unplugged: none).
    static void setPresent(bool present);
    /// Streams opened from now on call back in pieces of seconds (0: every period): each
    /// piece's periods come back to back, at the piece's end (a server that buffers), or with
    /// ahead at its start (a source that renders whole blocks ahead of time). They still report
    /// the latency asked for, as a server does; an output stream reports at least the piece.
    static void callBackInPieces(double seconds, bool ahead = false);
    /// Streams opened from now on are silent for seconds once, after their first callback, as
    /// a server finishing a block it began before the stream joined.
    static void delayAfterFirstCallback(double seconds);
    /// How many times Pa_Initialize ran.
    static int initializations();
};

} // namespace standin
