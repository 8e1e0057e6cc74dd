#pragma once

#include "ui/ViewController.h"

#include <memory>
#include <string>

namespace ui {

class ImagePickerController;
class ImagePickerGridView;

/// One folder of the image picker's library: its albums and its pictures in a grid, read
/// afresh each time the screen appears. An album opens its own grid; a picture goes to the
/// picker. The picker owns this screen (through its stack) and outlives it. Main thread only.
class ImagePickerGridController : public ViewController {
public:
    ImagePickerGridController(ImagePickerController& picker, std::string folder);

    const std::string& folder() const { return m_folder; }
    std::shared_ptr<ImagePickerGridView> gridView();

    /// Lists the folder again.
    void reloadFolder();

    void loadView() override;
    void viewWillAppear(bool animated) override;

private:
    ImagePickerController& m_picker;
    std::string m_folder;
};

} // namespace ui
