#include "ui/ImagePickerCropController.h"

#include "ui/ImagePickerController.h"
#include "ui/ImagePickerCropView.h"
#include "ui/NavigationController.h"
#include "ui/Screen.h"

namespace ui {

ImagePickerCropController::ImagePickerCropController(ImagePickerController& picker, std::shared_ptr<gfx::Image> image)
    : m_picker(picker)
    , m_image(std::move(image))
{
    auto item = navigationItem();
    item->setLeftBarButtonItem(BarButtonItem::withSystemItem(BarButtonSystemItem::Cancel, [this](BarButtonItem&) {
        if (auto* navigation = navigationController())
            navigation->popViewControllerAnimated(true);
    }));
    item->setRightBarButtonItem(BarButtonItem::withTitle("Choose", BarButtonItemStyle::Done, [this](BarButtonItem&) { choose(); }));
}

std::shared_ptr<ImagePickerCropView> ImagePickerCropController::cropView()
{
    return std::static_pointer_cast<ImagePickerCropView>(view());
}

void ImagePickerCropController::loadView()
{
    auto crop = std::make_shared<ImagePickerCropView>(Screen::mainScreen().applicationFrame());
    crop->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    crop->setImage(m_image);
    // The bar's buttons leave no room for it as a title.
    crop->setCaption("Move and Scale");
    setView(crop);
}

void ImagePickerCropController::choose()
{
    auto crop = cropView();
    auto square = crop->croppedImage(Screen::mainScreen().scale());
    if (!square)
        return;
    ImagePickerEditingInfo info;
    info.originalImage = m_image;
    info.cropRect = crop->cropRectInImage();
    m_picker.finishPicking(std::move(square), info);
}

} // namespace ui
