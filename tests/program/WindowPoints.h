#pragma once

// Where the layout puts the controls the program tests tap, in points of the 320 x 480 window
// (the studio on its first screen, the tab bar, the first row of Recordings, the playback screen).
namespace windowpoints {

inline constexpr const char* kRecord = "160 241";
inline constexpr const char* kStop = "160 241";
inline constexpr const char* kPause = "40 381";
inline constexpr const char* kSave = "201 282";
inline constexpr const char* kRecordingsTab = "96 455";
inline constexpr const char* kFirstRow = "160 138";
inline constexpr const char* kPlay = "160 390";
// The one button of an alert, and the "Yes" of the launch alert that offers to continue an
// interrupted recording.
inline constexpr const char* kAlertButton = "160 291";
inline constexpr const char* kContinue = "226 291";

} // namespace windowpoints
