#pragma once

#include "ui/ViewController.h"

#include "graphics/Image.h"

#include <memory>

namespace ui {

class ImagePickerController;
class Button;

/// The image picker's camera screen: the camera's live picture while it shows, and a button
/// that takes a still and hands it to the picker. Without a camera it says so and takes
/// nothing. The picker owns this screen (through its stack) and outlives it. Main thread only.
class ImagePickerCameraController : public ViewController {
public:
    explicit ImagePickerCameraController(ImagePickerController& picker);
    ~ImagePickerCameraController() override;

    /// What the shutter button does.
    void takePicture();
    std::shared_ptr<Button> shutterButton() const { return m_shutter; }
    /// The last live picture shown, or null.
    std::shared_ptr<gfx::Image> currentFrame() const;

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    class PreviewView;

    ImagePickerController& m_picker;
    std::shared_ptr<PreviewView> m_preview;
    std::shared_ptr<Button> m_shutter;
    bool m_running { false };
    bool m_taking { false };
};

} // namespace ui
