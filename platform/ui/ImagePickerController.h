#pragma once

#include "ui/NavigationController.h"
#include "ui/ViewController.h"

#include "graphics/Image.h"

#include <memory>
#include <string>

namespace ui {

class ImagePickerController;
class ImagePickerLoader;

/// Where an image picker takes its pictures from (the platform's values).
enum class ImagePickerControllerSourceType {
    PhotoLibrary = 0,
    Camera = 1,
    SavedPhotosAlbum = 2,
};

/// What came with an edited picture: the whole picture and the square cut from it.
struct ImagePickerEditingInfo {
    std::shared_ptr<gfx::Image> originalImage;
    /// The square in the original's pixels.
    gfx::Rect cropRect;
};

/// What an image picker tells its delegate, on the main thread. The picker does not go away
/// by itself: the delegate dismisses it (the defaults do nothing).
class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    /// The user chose image: with editing allowed, the square they framed at the screen's
    /// scale (editingInfo tells the original and the square), else the picture as it is
    /// (editingInfo holds only the original).
    virtual void imagePickerControllerDidFinishPickingImageEditingInfo(ImagePickerController& picker, std::shared_ptr<gfx::Image> image,
        const ImagePickerEditingInfo& editingInfo)
    {
        (void)picker;
        (void)image;
        (void)editingInfo;
    }
    /// The user tapped Cancel.
    virtual void imagePickerControllerDidCancel(ImagePickerController& picker) { (void)picker; }
};

/// The screen that lets the user choose a picture, presented modally. Its source is the
/// photo library — the user's pictures folder, its subfolders as albums, browsed as grids of
/// thumbnails — or the camera, which shows its live picture and takes a still. With editing
/// allowed a chosen picture goes to a square frame the user moves and zooms (Cancel there goes
/// back) before Choose hands the square over.
///
/// The screens live in a navigation stack of their own, made afresh whenever the source type
/// is set, so each presentation starts at the top of its source. A chosen file is decoded off
/// the main thread; a file that cannot be read leaves the grid as it is. The delegate is not
/// owned. Main thread only.
class ImagePickerController : public ViewController {
public:
    ImagePickerController();
    ~ImagePickerController() override;

    /// Whether the source can be used: the library when the pictures folder exists, the
    /// camera when the system has one.
    static bool isSourceTypeAvailable(ImagePickerControllerSourceType sourceType);

    ImagePickerControllerSourceType sourceType() const { return m_sourceType; }
    /// Chooses the source and starts its screens afresh.
    void setSourceType(ImagePickerControllerSourceType sourceType);
    bool allowsImageEditing() const { return m_allowsImageEditing; }
    void setAllowsImageEditing(bool allows) { m_allowsImageEditing = allows; }
    ImagePickerControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(ImagePickerControllerDelegate* delegate) { m_delegate = delegate; }
    /// The folder the library starts in: the pictures folder unless set (empty goes back to it).
    std::string libraryDirectory() const;
    void setLibraryDirectory(std::string path);

    /// The stack the picker's screens are in.
    std::shared_ptr<NavigationController> pickerNavigationController();

    void loadView() override;

    // What the picker's screens call.
    /// Decodes the file off the main thread, then goes on as pickImage; a file that cannot be
    /// read does nothing.
    void pickPictureAtPath(const std::string& path);
    /// With editing allowed shows image in the square frame, else hands it to the delegate.
    void pickImage(std::shared_ptr<gfx::Image> image);
    void finishPicking(std::shared_ptr<gfx::Image> image, const ImagePickerEditingInfo& info);
    void cancel();
    /// Escape at the first screen cancels as its Cancel does (on the later ones it goes back).
    void keyPressed(Key key) override;
    /// Whether a chosen file is being decoded.
    bool isLoadingPicture() const;

    /// The largest side a chosen picture is decoded at.
    static constexpr int kMaxPictureSide = 2048;

protected:
    std::vector<ViewController*> visibleChildViewControllers() const override;

private:
    void rebuild();

    ImagePickerControllerSourceType m_sourceType { ImagePickerControllerSourceType::PhotoLibrary };
    bool m_allowsImageEditing { false };
    ImagePickerControllerDelegate* m_delegate { nullptr };
    std::string m_libraryDirectory;
    std::shared_ptr<NavigationController> m_navigation;
    std::unique_ptr<ImagePickerLoader> m_pictureLoader;
    std::string m_loadingPath;
};

} // namespace ui
