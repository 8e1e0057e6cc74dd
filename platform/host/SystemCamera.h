#pragma once

#include "ui/ImagePickerCamera.h"

#include <memory>

namespace host {

/// The system's camera for the image picker, through Qt Multimedia: available when the
/// system lists a video input; live pictures from its video sink, stills from an image
/// capture, both delivered on the main thread (Qt's loop drives ours there). Built without
/// Qt Multimedia it reports no camera. Main thread only.
class SystemCamera : public ui::ImagePickerCamera {
public:
    SystemCamera();
    ~SystemCamera() override;

    bool isAvailable() override;
    void start(FrameHandler handler) override;
    void stop() override;
    void takeStill(StillHandler handler) override;

    /// The largest side of a picture handed on: live pictures are small, stills as large
    /// as a chosen file may be.
    static constexpr int kPreviewSide = 640;
    static constexpr int kStillSide = 2048;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace host
