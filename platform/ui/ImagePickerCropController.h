#pragma once

#include "ui/ViewController.h"

#include "graphics/Image.h"

#include <memory>

namespace ui {

class ImagePickerController;
class ImagePickerCropView;

/// The image picker's "Move and Scale" screen: the chosen picture in the square frame, Cancel
/// to go back to the choice, Choose to hand the square to the picker. The picker owns this
/// screen (through its stack) and outlives it. Main thread only.
class ImagePickerCropController : public ViewController {
public:
    ImagePickerCropController(ImagePickerController& picker, std::shared_ptr<gfx::Image> image);

    std::shared_ptr<ImagePickerCropView> cropView();
    /// What Choose does: the square at the screen's scale to the picker.
    void choose();

    void loadView() override;

private:
    ImagePickerController& m_picker;
    std::shared_ptr<gfx::Image> m_image;
};

} // namespace ui
