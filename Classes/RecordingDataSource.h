#pragma once

#include <memory>

class Recording;

/// What a playback screen asks of the list that showed it: the neighbours of a recording in
/// the list's display order. Both answer null at the list's ends and for a recording the list
/// does not show.
class RecordingDataSource {
public:
    virtual ~RecordingDataSource() = default;
    virtual std::shared_ptr<Recording> recordingBefore(const std::shared_ptr<Recording>& recording) = 0;
    virtual std::shared_ptr<Recording> recordingAfter(const std::shared_ptr<Recording>& recording) = 0;
};
