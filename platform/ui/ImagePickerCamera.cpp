#include "ui/ImagePickerCamera.h"

namespace ui {

namespace {

std::shared_ptr<ImagePickerCamera>& installed()
{
    static std::shared_ptr<ImagePickerCamera> camera;
    return camera;
}

} // namespace

std::shared_ptr<ImagePickerCamera> ImagePickerCamera::shared()
{
    return installed();
}

void ImagePickerCamera::setShared(std::shared_ptr<ImagePickerCamera> camera)
{
    installed() = std::move(camera);
}

} // namespace ui
