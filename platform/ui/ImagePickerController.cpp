#include "ui/ImagePickerController.h"

#include "ui/ImagePickerCamera.h"
#include "ui/ImagePickerCameraController.h"
#include "ui/ImagePickerCropController.h"
#include "ui/ImagePickerGridController.h"
#include "ui/ImagePickerLibrary.h"
#include "ui/ImagePickerLoader.h"
#include "ui/Screen.h"

#include "foundation/Log.h"

#include <filesystem>

namespace ui {

ImagePickerController::ImagePickerController() = default;

ImagePickerController::~ImagePickerController()
{
    if (m_navigation)
        setParentViewControllerOf(*m_navigation, nullptr);
}

bool ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType sourceType)
{
    switch (sourceType) {
    case ImagePickerControllerSourceType::PhotoLibrary:
    case ImagePickerControllerSourceType::SavedPhotosAlbum: {
        std::error_code error;
        return std::filesystem::is_directory(ImagePickerLibrary::picturesDirectory(), error);
    }
    case ImagePickerControllerSourceType::Camera: {
        auto camera = ImagePickerCamera::shared();
        return camera && camera->isAvailable();
    }
    }
    return false;
}

void ImagePickerController::setSourceType(ImagePickerControllerSourceType sourceType)
{
    m_sourceType = sourceType;
    if (isViewLoaded())
        rebuild();
}

std::string ImagePickerController::libraryDirectory() const
{
    return m_libraryDirectory.empty() ? ImagePickerLibrary::picturesDirectory() : m_libraryDirectory;
}

void ImagePickerController::setLibraryDirectory(std::string path)
{
    m_libraryDirectory = std::move(path);
}

std::shared_ptr<NavigationController> ImagePickerController::pickerNavigationController()
{
    view();
    return m_navigation;
}

void ImagePickerController::loadView()
{
    auto root = std::make_shared<View>(Screen::mainScreen().applicationFrame());
    root->setBackgroundColor(gfx::Color::black());
    root->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    setView(root);
    rebuild();
}

void ImagePickerController::rebuild()
{
    auto root = view();
    // The old stack goes with its screens; one on screen disappears first.
    for (const auto& subview : std::vector<std::shared_ptr<View>>(root->subviews()))
        subview->removeFromSuperview();
    if (m_navigation) {
        if (isAppearing()) {
            m_navigation->beginAppearanceTransition(false, false);
            m_navigation->endAppearanceTransition();
        }
        setParentViewControllerOf(*m_navigation, nullptr);
    }
    m_pictureLoader.reset();
    m_loadingPath.clear();

    std::shared_ptr<ViewController> first;
    if (m_sourceType == ImagePickerControllerSourceType::Camera)
        first = std::make_shared<ImagePickerCameraController>(*this);
    else
        first = std::make_shared<ImagePickerGridController>(*this, libraryDirectory());
    m_navigation = std::make_shared<NavigationController>(first);
    m_navigation->navigationBar()->setBarStyle(BarStyle::Black);
    setParentViewControllerOf(*m_navigation, this);
    auto stackView = m_navigation->view();
    stackView->setFrame(root->bounds());
    stackView->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    root->addSubview(stackView);
    if (isAppearing()) {
        m_navigation->beginAppearanceTransition(true, false);
        m_navigation->endAppearanceTransition();
    }
}

std::vector<ViewController*> ImagePickerController::visibleChildViewControllers() const
{
    if (!m_navigation)
        return {};
    return { m_navigation.get() };
}

bool ImagePickerController::isLoadingPicture() const
{
    return !m_loadingPath.empty();
}

void ImagePickerController::pickPictureAtPath(const std::string& path)
{
    if (!m_pictureLoader) {
        // The chosen picture only; the last one is kept for a second look.
        m_pictureLoader = std::make_unique<ImagePickerLoader>(kMaxPictureSide, gfx::Image::Fit::Inside, 1);
        m_pictureLoader->setHandler([this](const std::string& loaded) {
            if (loaded != m_loadingPath)
                return;
            m_loadingPath.clear();
            const auto* picture = m_pictureLoader->pictureForPath(loaded);
            if (picture && picture->image)
                pickImage(picture->image);
        });
    }
    // A second tap while one decodes chooses the later picture.
    m_loadingPath = path;
    if (const auto* picture = m_pictureLoader->pictureForPath(path)) {
        m_loadingPath.clear();
        if (picture->image)
            pickImage(picture->image);
        return;
    }
    m_pictureLoader->cancelPendingRequests();
    m_pictureLoader->request(path);
}

void ImagePickerController::pickImage(std::shared_ptr<gfx::Image> image)
{
    if (!image)
        return;
    if (!m_allowsImageEditing) {
        ImagePickerEditingInfo info;
        info.originalImage = image;
        info.cropRect = gfx::Rect(0, 0, float(image->pixelWidth()), float(image->pixelHeight()));
        finishPicking(image, info);
        return;
    }
    if (auto navigation = pickerNavigationController())
        navigation->pushViewController(std::make_shared<ImagePickerCropController>(*this, std::move(image)), true);
}

void ImagePickerController::finishPicking(std::shared_ptr<gfx::Image> image, const ImagePickerEditingInfo& info)
{
    auto keep = sharedController();
    if (m_delegate)
        m_delegate->imagePickerControllerDidFinishPickingImageEditingInfo(*this, std::move(image), info);
}

void ImagePickerController::keyPressed(Key key)
{
    if (key == Key::Escape) {
        auto keep = weak_from_this().lock();
        cancel();
        return;
    }
    ViewController::keyPressed(key);
}

void ImagePickerController::cancel()
{
    auto keep = sharedController();
    m_loadingPath.clear();
    if (m_delegate)
        m_delegate->imagePickerControllerDidCancel(*this);
}

} // namespace ui
