#include "ui/ImagePickerGridController.h"

#include "ui/ImagePickerController.h"
#include "ui/ImagePickerGridView.h"
#include "ui/ImagePickerLibrary.h"
#include "ui/NavigationController.h"
#include "ui/Screen.h"

namespace ui {

ImagePickerGridController::ImagePickerGridController(ImagePickerController& picker, std::string folder)
    : m_picker(picker)
    , m_folder(std::move(folder))
{
    setTitle(ImagePickerLibrary::displayName(m_folder));
    ImagePickerController* owner = &m_picker;
    navigationItem()->setRightBarButtonItem(BarButtonItem::withSystemItem(BarButtonSystemItem::Cancel, [owner](BarButtonItem&) { owner->cancel(); }));
}

std::shared_ptr<ImagePickerGridView> ImagePickerGridController::gridView()
{
    return std::static_pointer_cast<ImagePickerGridView>(view());
}

void ImagePickerGridController::loadView()
{
    auto grid = std::make_shared<ImagePickerGridView>(Screen::mainScreen().applicationFrame());
    grid->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    ImagePickerController* owner = &m_picker;
    grid->setPictureHandler([owner](const std::string& path) { owner->pickPictureAtPath(path); });
    std::weak_ptr<Responder> weak = weak_from_this();
    grid->setAlbumHandler([weak, owner](const ImagePickerGridView::Album& album) {
        auto self = weak.lock();
        if (!self)
            return;
        auto* controller = static_cast<ImagePickerGridController*>(self.get());
        if (auto* navigation = controller->navigationController())
            navigation->pushViewController(std::make_shared<ImagePickerGridController>(*owner, album.path), true);
    });
    setView(grid);
}

void ImagePickerGridController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    reloadFolder();
}

void ImagePickerGridController::reloadFolder()
{
    std::vector<ImagePickerGridView::Album> albums;
    for (auto& path : ImagePickerLibrary::albumsInFolder(m_folder)) {
        const auto pictures = ImagePickerLibrary::picturesInFolder(path);
        ImagePickerGridView::Album album;
        album.title = ImagePickerLibrary::displayName(path);
        album.pictureCount = pictures.size();
        if (!pictures.empty())
            album.coverPath = pictures.front();
        album.path = std::move(path);
        albums.push_back(std::move(album));
    }
    gridView()->setContents(std::move(albums), ImagePickerLibrary::picturesInFolder(m_folder));
}

} // namespace ui
