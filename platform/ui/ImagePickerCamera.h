#pragma once

#include "graphics/Image.h"

#include <functional>
#include <memory>

namespace ui {

/// The system's camera as the image picker uses it: whether there is one, a live picture
/// while the picker shows it, and a still. The host installs the one that talks to the
/// system (none means no camera); tests install their own. Every call and callback is on the
/// main thread.
class ImagePickerCamera {
public:
    using FrameHandler = std::function<void(std::shared_ptr<gfx::Image> frame)>;
    using StillHandler = std::function<void(std::shared_ptr<gfx::Image> still)>;

    virtual ~ImagePickerCamera() = default;

    /// The installed camera, or null.
    static std::shared_ptr<ImagePickerCamera> shared();
    static void setShared(std::shared_ptr<ImagePickerCamera> camera);

    /// Whether the system has a camera that can be used now.
    virtual bool isAvailable() = 0;
    /// Switches the camera on; frames come to handler until stop.
    virtual void start(FrameHandler handler) = 0;
    virtual void stop() = 0;
    /// Takes a picture; handler gets it, or null when the camera failed. Called once.
    virtual void takeStill(StillHandler handler) = 0;
};

} // namespace ui
