#include "PictureFiles.h"
#include "UiTestSupport.h"

#include "ui/ImagePickerCamera.h"
#include "ui/ImagePickerCameraController.h"
#include "ui/ImagePickerController.h"
#include "ui/ImagePickerCropController.h"
#include "ui/ImagePickerCropView.h"
#include "ui/ImagePickerGridController.h"
#include "ui/ImagePickerGridView.h"
#include "ui/ImagePickerLibrary.h"
#include "ui/ImagePickerLoader.h"
#include "ui/BarButtonView.h"
#include "ui/Button.h"

#include "foundation/FileManager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

namespace fs = std::filesystem;

// A camera that shows one picture and takes it as the still.
class FakeCamera : public ImagePickerCamera {
public:
    bool available = true;
    bool running = false;
    std::shared_ptr<gfx::Image> picture;
    bool isAvailable() override { return available; }
    void start(FrameHandler handler) override
    {
        running = true;
        handler(picture);
    }
    void stop() override { running = false; }
    void takeStill(StillHandler handler) override { handler(running ? picture : nullptr); }
};

class ImagePickerTest : public uitest::UiTest, public ImagePickerControllerDelegate {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        pictures = rootDirectory() + "/Pictures";
        fs::create_directories(pictures + "/Holidays");
        fs::create_directories(pictures + "/.cache");
        setenv("XDG_PICTURES_DIR", pictures.c_str(), 1);
        uitest::writeTwoColourPicture(pictures + "/Beach.png", 600, 400);
        uitest::writeTwoColourPicture(pictures + "/Mountain.png", 2400, 1600, gfx::Color::rgba(0.2f, 0.6f, 0.2f), gfx::Color::rgba(0.9f, 0.8f, 0.3f));
        uitest::writeBytes(pictures + "/broken.jpg", "not a picture at all");
        uitest::writeHugePictureHeader(pictures + "/huge.png", 20000, 20000);
        uitest::writeBytes(pictures + "/notes.txt", "shopping list");
        uitest::writeTwoColourPicture(pictures + "/.hidden.png", 10, 10);
        uitest::writeTwoColourPicture(pictures + "/Holidays/lake.png", 300, 300, gfx::Color::rgba(0.1f, 0.4f, 0.8f), gfx::Color::rgba(0.3f, 0.7f, 0.9f));
        uitest::writeTwoColourPicture(pictures + "/Holidays/Forest.png", 300, 500, gfx::Color::rgba(0.1f, 0.5f, 0.2f), gfx::Color::rgba(0.5f, 0.3f, 0.1f));

        window = std::make_shared<Window>();
        window->setBackgroundColor(gfx::Color::black());
        root = std::make_shared<ViewController>();
        window->addSubview(root->view());
        window->makeKeyAndVisible();
        picker = std::make_shared<ImagePickerController>();
        picker->setDelegate(this);
    }
    void TearDown() override
    {
        picker->setDelegate(nullptr);
        // The picker's loaders post to the main run loop, which goes in the base's TearDown.
        picker.reset();
        root.reset();
        window.reset();
        ImagePickerCamera::setShared(nullptr);
        unsetenv("XDG_PICTURES_DIR");
        UiTest::TearDown();
    }

    void imagePickerControllerDidFinishPickingImageEditingInfo(ImagePickerController& p, std::shared_ptr<gfx::Image> image,
        const ImagePickerEditingInfo& info) override
    {
        picked.push_back(image);
        pickedInfo = info;
        p.dismissModalViewControllerAnimated(true);
    }
    void imagePickerControllerDidCancel(ImagePickerController& p) override
    {
        ++cancels;
        p.dismissModalViewControllerAnimated(true);
    }

    void present(ImagePickerControllerSourceType source, bool editing)
    {
        picker->setSourceType(source);
        picker->setAllowsImageEditing(editing);
        root->presentModalViewController(picker, true);
        advance(1);
    }
    std::shared_ptr<ViewController> top() { return picker->pickerNavigationController()->topViewController(); }
    std::shared_ptr<ImagePickerGridView> grid() { return std::dynamic_pointer_cast<ImagePickerGridController>(top())->gridView(); }
    // Runs the loop until every thumbnail asked for has come (decoded on the loader's thread).
    void waitForThumbnails()
    {
        window->layoutIfNeeded();
        auto g = grid();
        ASSERT_TRUE(runLoop().runUntil([&] { return g->loader().outstandingCount() == 0; }, 10, 20));
        advance(0.1);
    }
    void tap(Point p)
    {
        window->sendTouch(1, TouchPhase::Began, p);
        window->sendTouch(1, TouchPhase::Ended, p);
    }
    void tapPicture(const std::string& name)
    {
        auto g = grid();
        const auto& list = g->pictures();
        const auto it = std::find(list.begin(), list.end(), pictures + "/" + name);
        ASSERT_NE(it, list.end()) << name;
        tap(g->convertPointToView(g->rectForPicture(size_t(it - list.begin())).center(), nullptr));
        ASSERT_TRUE(runLoop().runUntil([&] { return !picker->isLoadingPicture(); }, 10, 20));
        advance(1);
    }
    // Presents the library with editing, picks the named picture and answers the crop screen's view.
    std::shared_ptr<ImagePickerCropView> openCropOf(const std::string& name)
    {
        present(ImagePickerControllerSourceType::PhotoLibrary, true);
        waitForThumbnails();
        tapPicture(name);
        auto crop = std::dynamic_pointer_cast<ImagePickerCropController>(top());
        return crop ? crop->cropView() : nullptr;
    }
    // Taps the navigation bar's button on the left or the right after checking its title.
    void tapBarButton(const std::string& title, bool left = false)
    {
        auto bar = picker->pickerNavigationController()->navigationBar();
        auto item = left ? top()->navigationItem()->leftBarButtonItem() : top()->navigationItem()->rightBarButtonItem();
        ASSERT_TRUE(item);
        ASSERT_EQ(item->title(), title);
        View* view = left ? static_cast<View*>(bar->leftView()) : static_cast<View*>(bar->rightView());
        ASSERT_TRUE(view);
        tap(view->convertPointToView(view->bounds().center(), nullptr));
        advance(1);
    }
    void writeScreenshot(const std::string& name)
    {
        std::filesystem::create_directories(PARLIVO_SCREENSHOT_DIR);
        window->layoutIfNeeded();
        auto context = gfx::BitmapContext::create(640, 960, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
        context->scaleCTM(2, 2);
        window->drawScreen(*context);
        shot = context->makeImage(2);
        EXPECT_TRUE(shot->writePNG(std::string(PARLIVO_SCREENSHOT_DIR) + "/" + name));
    }
    gfx::Pixel shotAt(Point p) const { return shot->pixelAt(int(p.x * 2), int(p.y * 2)); }

    std::string pictures;
    std::shared_ptr<Window> window;
    std::shared_ptr<ViewController> root;
    std::shared_ptr<ImagePickerController> picker;
    std::vector<std::shared_ptr<gfx::Image>> picked;
    ImagePickerEditingInfo pickedInfo;
    int cancels = 0;
    std::shared_ptr<gfx::Image> shot;
};

} // namespace

TEST_F(ImagePickerTest, TheLibraryIsThePicturesFolderWithItsSubfoldersAsAlbums)
{
    EXPECT_EQ(ImagePickerLibrary::picturesDirectory(), pictures);
    EXPECT_TRUE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType::PhotoLibrary));
    // Pictures by name, letter case aside; other files and hidden ones are left out.
    const std::vector<std::string> expected { pictures + "/Beach.png", pictures + "/broken.jpg", pictures + "/huge.png", pictures + "/Mountain.png" };
    EXPECT_EQ(ImagePickerLibrary::picturesInFolder(pictures), expected);
    EXPECT_EQ(ImagePickerLibrary::albumsInFolder(pictures), std::vector<std::string> { pictures + "/Holidays" });
    EXPECT_EQ(ImagePickerLibrary::picturesInFolder(pictures + "/missing"), std::vector<std::string> {});

    // Without the variable the user's folder list names it, relative to the home.
    unsetenv("XDG_PICTURES_DIR");
    fs::create_directories(configPath());
    foundation::writeFileAtomically(configPath() + "/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(ImagePickerLibrary::picturesDirectory(), rootDirectory() + "/Bilder");
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType::PhotoLibrary));
    fs::remove(configPath() + "/user-dirs.dirs");
    EXPECT_EQ(ImagePickerLibrary::picturesDirectory(), rootDirectory() + "/Pictures");

    // The camera is there only when the system has one.
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType::Camera));
    auto camera = std::make_shared<FakeCamera>();
    ImagePickerCamera::setShared(camera);
    EXPECT_TRUE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType::Camera));
    camera->available = false;
    EXPECT_FALSE(ImagePickerController::isSourceTypeAvailable(ImagePickerControllerSourceType::Camera));
}

TEST_F(ImagePickerTest, PicturesAreReadAtTheSizeAskedAndBadFilesSayWhy)
{
    gfx::Image::ReadFailure failure;
    // A large picture comes at the size asked for, by its shorter or its longer side.
    auto cover = gfx::Image::fromFileFitting(pictures + "/Mountain.png", 150, gfx::Image::Fit::Cover, &failure);
    ASSERT_TRUE(cover);
    EXPECT_EQ(failure, gfx::Image::ReadFailure::None);
    EXPECT_EQ(cover->pixelHeight(), 150);
    EXPECT_EQ(cover->pixelWidth(), 225);
    auto inside = gfx::Image::fromFileFitting(pictures + "/Mountain.png", 300, gfx::Image::Fit::Inside, &failure);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->pixelWidth(), 300);
    EXPECT_EQ(inside->pixelHeight(), 200);
    // A small one is never enlarged.
    auto small = gfx::Image::fromFileFitting(pictures + "/Beach.png", 2048, gfx::Image::Fit::Inside, &failure);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pixelWidth(), 600);

    EXPECT_FALSE(gfx::Image::fromFileFitting(pictures + "/broken.jpg", 150, gfx::Image::Fit::Cover, &failure));
    EXPECT_EQ(failure, gfx::Image::ReadFailure::Unreadable);
    // Twenty thousand pixels square: refused from its header, without decoding.
    EXPECT_FALSE(gfx::Image::fromFileFitting(pictures + "/huge.png", 150, gfx::Image::Fit::Cover, &failure));
    EXPECT_EQ(failure, gfx::Image::ReadFailure::TooLarge);
    EXPECT_FALSE(gfx::Image::fromFileFitting(pictures + "/gone.png", 150, gfx::Image::Fit::Cover, &failure));
    EXPECT_EQ(failure, gfx::Image::ReadFailure::Unreadable);

    // The loader decodes on its own thread: a request returns at once and the result comes
    // only when the main loop runs, to the handler there.
    ImagePickerLoader loader(150, gfx::Image::Fit::Cover, 2);
    std::vector<std::string> delivered;
    loader.setHandler([&](const std::string& path) { delivered.push_back(path); });
    loader.request(pictures + "/Beach.png");
    loader.request(pictures + "/broken.jpg");
    loader.request(pictures + "/Beach.png"); // asked twice, decoded once
    EXPECT_EQ(loader.outstandingCount(), 2u);
    EXPECT_TRUE(delivered.empty());
    ASSERT_TRUE(runLoop().runUntil([&] { return loader.outstandingCount() == 0; }, 10, 20));
    EXPECT_EQ(delivered.size(), 2u);
    ASSERT_TRUE(loader.pictureForPath(pictures + "/Beach.png"));
    EXPECT_EQ(loader.pictureForPath(pictures + "/Beach.png")->image->pixelHeight(), 150);
    EXPECT_EQ(loader.pictureForPath(pictures + "/broken.jpg")->failure, gfx::Image::ReadFailure::Unreadable);
    // The cache keeps the last two.
    loader.request(pictures + "/Mountain.png");
    ASSERT_TRUE(runLoop().runUntil([&] { return loader.outstandingCount() == 0; }, 10, 20));
    EXPECT_FALSE(loader.pictureForPath(pictures + "/Beach.png"));
    EXPECT_TRUE(loader.pictureForPath(pictures + "/Mountain.png"));

    // A loader that goes away while it decodes delivers nothing afterwards.
    {
        ImagePickerLoader leaving(150, gfx::Image::Fit::Cover, 2);
        leaving.setHandler([&](const std::string& path) { delivered.push_back(path); });
        leaving.request(pictures + "/Mountain.png");
    }
    const size_t before = delivered.size();
    advance(0.5);
    runLoop().runPending();
    EXPECT_EQ(delivered.size(), before);
}

TEST_F(ImagePickerTest, TheGridShowsThumbnailsAlbumsAndWhatCannotBeShown)
{
    present(ImagePickerControllerSourceType::PhotoLibrary, true);
    ASSERT_EQ(root->modalViewController(), picker);
    auto g = grid();
    EXPECT_EQ(top()->title(), "Pictures");
    ASSERT_EQ(g->albums().size(), 1u);
    EXPECT_EQ(g->albums()[0].title, "Holidays");
    EXPECT_EQ(g->albums()[0].pictureCount, 2u);
    ASSERT_EQ(g->pictures().size(), 4u);
    waitForThumbnails();

    // Good files have thumbnails a tile's size at the screen's scale; the others say why.
    for (size_t i : { 0u, 3u }) {
        const auto* thumbnail = g->loader().pictureForPath(g->pictures()[i]);
        ASSERT_TRUE(thumbnail && thumbnail->image) << g->pictures()[i];
        EXPECT_EQ(std::min(thumbnail->image->pixelWidth(), thumbnail->image->pixelHeight()), 150);
        EXPECT_EQ(g->messageForPicture(i), "");
    }
    EXPECT_EQ(g->messageForPicture(1), "Can't read this file");
    EXPECT_EQ(g->messageForPicture(2), "Picture too large");

    writeScreenshot("image-picker-grid.png");
    // The first tile shows the beach's red left half; the broken file's tile is dark grey.
    const Rect beach = g->convertRectToView(g->rectForPicture(0), nullptr);
    const auto red = shotAt({ beach.minX() + 8, beach.midY() });
    EXPECT_GT(red.red, 200);
    EXPECT_LT(red.blue, 60);
    const Rect broken = g->convertRectToView(g->rectForPicture(1), nullptr);
    EXPECT_LT(shotAt({ broken.minX() + 3, broken.minY() + 3 }).red, 110);

    // Tapping a file that cannot be read leaves the grid as it is.
    tapPicture("broken.jpg");
    EXPECT_EQ(top(), picker->pickerNavigationController()->viewControllers().front());
    EXPECT_TRUE(picked.empty());

    // An album opens its own grid.
    tap(g->convertPointToView(g->rectForAlbum(0).center(), nullptr));
    advance(1);
    EXPECT_EQ(top()->title(), "Holidays");
    EXPECT_EQ(grid()->pictures().size(), 2u);
    EXPECT_TRUE(grid()->albums().empty());
}

TEST_F(ImagePickerTest, EditingCropsASquareAtTheScreensScale)
{
    auto view = openCropOf("Beach.png");
    ASSERT_TRUE(view);
    EXPECT_EQ(view->caption(), "Move and Scale");
    // The 600 × 400 picture fills the 320-point square by its height, centred.
    const Rect square = view->cropSquare();
    EXPECT_EQ(square.width(), 320);
    EXPECT_EQ(square.height(), 320);
    EXPECT_FLOAT_EQ(view->zoomScale(), 0.8f);
    EXPECT_EQ(view->cropRectInImage(), Rect(100, 0, 400, 400));

    writeScreenshot("image-picker-crop.png");
    // Inside the square the picture is at full strength, outside it dimmed.
    const Rect onScreen = view->convertRectToView(square, nullptr);
    EXPECT_GT(shotAt({ onScreen.minX() + 20, onScreen.midY() + 60 }).red, 200);
    EXPECT_LT(shotAt({ onScreen.minX() + 20, onScreen.minY() - 10 }).red, 130);

    tapBarButton("Choose");
    ASSERT_EQ(picked.size(), 1u);
    auto image = picked[0];
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 640);
    EXPECT_EQ(image->pixelHeight(), 640);
    EXPECT_FLOAT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), (gfx::Size { 320, 320 }));
    EXPECT_EQ(pickedInfo.cropRect, Rect(100, 0, 400, 400));
    ASSERT_TRUE(pickedInfo.originalImage);
    EXPECT_EQ(pickedInfo.originalImage->pixelWidth(), 600);
    // The square's left half is red and its right half blue, as the middle of the picture is.
    EXPECT_GT(image->pixelAt(160, 100).red, 200);
    EXPECT_GT(image->pixelAt(480, 100).blue, 200);
    EXPECT_LT(image->pixelAt(480, 100).red, 60);
    // The delegate dismissed the picker.
    EXPECT_FALSE(root->modalViewController());
}

TEST_F(ImagePickerTest, TheFrameMovesAndZoomsWithFingersAndTheWheelButAlwaysCoversTheSquare)
{
    auto view = openCropOf("Beach.png");
    ASSERT_TRUE(view);
    const Point centre = view->convertPointToView(view->cropSquare().center(), nullptr);

    // One finger drags the picture right as far as it goes: the square shows its left edge.
    window->sendTouch(1, TouchPhase::Began, centre);
    window->sendTouch(1, TouchPhase::Moved, { centre.x + 300, centre.y });
    window->sendTouch(1, TouchPhase::Ended, { centre.x + 300, centre.y });
    EXPECT_EQ(view->cropRectInImage(), Rect(0, 0, 400, 400));

    // Two fingers spreading from 80 to 160 points apart double the zoom around their middle.
    window->sendTouch(1, TouchPhase::Began, { centre.x - 40, centre.y });
    window->sendTouch(2, TouchPhase::Began, { centre.x + 40, centre.y });
    window->sendTouch(2, TouchPhase::Moved, { centre.x + 120, centre.y });
    window->sendTouch(1, TouchPhase::Moved, { centre.x - 40, centre.y });
    EXPECT_NEAR(view->zoomScale(), 1.6f, 0.01f);
    window->sendTouch(1, TouchPhase::Ended, { centre.x - 40, centre.y });
    window->sendTouch(2, TouchPhase::Ended, { centre.x + 120, centre.y });
    Rect inImage = view->cropRectInImage();
    EXPECT_NEAR(inImage.width(), 200, 0.5f);
    EXPECT_GE(inImage.minX(), 0);
    EXPECT_LE(inImage.maxX(), 600.01f);
    // Enlarged, the picture reaches out of the square, dimmed there.
    writeScreenshot("image-picker-crop-zoomed.png");
    const Rect square = view->convertRectToView(view->cropSquare(), nullptr);
    const auto inside = shotAt({ square.minX() + 10, square.minY() + 10 });
    const auto outside = shotAt({ square.minX() + 10, square.minY() - 10 });
    EXPECT_GT(inside.red, 200);
    EXPECT_GT(outside.red, 40);
    EXPECT_LT(outside.red, 150);

    // The wheel zooms too, never beyond five times the smallest zoom, never below it.
    for (int i = 0; i < 10; ++i)
        window->sendWheel(centre, { 0, 120 });
    EXPECT_FLOAT_EQ(view->zoomScale(), 0.8f * ImagePickerCropView::kMaxZoom);
    for (int i = 0; i < 20; ++i)
        window->sendWheel(centre, { 0, -120 });
    EXPECT_FLOAT_EQ(view->zoomScale(), 0.8f);
    inImage = view->cropRectInImage();
    EXPECT_GE(inImage.minX(), -0.01f);
    EXPECT_GE(inImage.minY(), -0.01f);
    EXPECT_LE(inImage.maxX(), 600.01f);
    EXPECT_LE(inImage.maxY(), 400.01f);

    // Cancel goes back to the grid; nothing is picked.
    tapBarButton("Cancel", true);
    EXPECT_TRUE(std::dynamic_pointer_cast<ImagePickerGridController>(top()));
    EXPECT_TRUE(picked.empty());
    EXPECT_EQ(cancels, 0);
}

TEST_F(ImagePickerTest, WithoutEditingThePictureComesWholeAndCancelIsReported)
{
    present(ImagePickerControllerSourceType::PhotoLibrary, false);
    waitForThumbnails();
    tapPicture("Mountain.png");
    ASSERT_EQ(picked.size(), 1u);
    // A large picture comes no larger than the picker decodes chosen files.
    EXPECT_EQ(picked[0]->pixelWidth(), ImagePickerController::kMaxPictureSide);
    EXPECT_EQ(picked[0]->pixelHeight(), 1365);
    advance(1);
    EXPECT_FALSE(root->modalViewController());

    // Presented again it starts afresh at the top; Cancel reports and the delegate dismisses.
    present(ImagePickerControllerSourceType::PhotoLibrary, false);
    ASSERT_EQ(root->modalViewController(), picker);
    tapBarButton("Cancel");
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(picked.size(), 1u);
    EXPECT_FALSE(root->modalViewController());
}

TEST_F(ImagePickerTest, TheCameraShowsItsPictureAndTakesAStill)
{
    auto camera = std::make_shared<FakeCamera>();
    camera->picture = gfx::Image::fromFileFitting(pictures + "/Beach.png", 2048, gfx::Image::Fit::Inside);
    ImagePickerCamera::setShared(camera);
    present(ImagePickerControllerSourceType::Camera, true);
    auto controller = std::dynamic_pointer_cast<ImagePickerCameraController>(top());
    ASSERT_TRUE(controller);
    EXPECT_TRUE(camera->running);
    EXPECT_EQ(controller->currentFrame(), camera->picture);
    auto shutter = controller->shutterButton();
    tap(shutter->convertPointToView(shutter->bounds().center(), nullptr));
    advance(1);
    // The still goes to the square frame like a chosen file.
    auto crop = std::dynamic_pointer_cast<ImagePickerCropController>(top());
    ASSERT_TRUE(crop);
    EXPECT_FALSE(camera->running) << "the camera is off while it is not shown";
    tapBarButton("Choose");
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0]->pixelWidth(), 640);
}

TEST_F(ImagePickerTest, ALargeFolderDecodesOnlyWhatShowsAndScrollsWithoutPicking)
{
    const std::string many = pictures + "/Many";
    fs::create_directories(many);
    for (int i = 0; i < 240; ++i)
        uitest::writeTwoColourPicture(many + "/" + std::to_string(1000 + i) + ".png", 40, 30);
    picker->setLibraryDirectory(many);
    present(ImagePickerControllerSourceType::PhotoLibrary, false);
    auto g = grid();
    ASSERT_EQ(g->pictures().size(), 240u);
    waitForThumbnails();
    auto decoded = [&] {
        size_t n = 0;
        for (const auto& path : g->pictures())
            n += g->loader().pictureForPath(path) != nullptr;
        return n;
    };
    // Five rows and a bit show: only their tiles were decoded.
    const size_t first = decoded();
    EXPECT_GE(first, 20u);
    EXPECT_LE(first, 28u);

    // A finger drags the grid up: it scrolls, and no picture is chosen.
    const Point start = g->convertPointToView({ 160, g->contentOffset().y + 300 }, nullptr);
    window->sendTouch(1, TouchPhase::Began, start);
    for (int i = 1; i <= 10; ++i) {
        advance(FrameClock::kFrameInterval);
        window->sendTouch(1, TouchPhase::Moved, { start.x, start.y - 20 * float(i) });
    }
    advance(0.3);
    window->sendTouch(1, TouchPhase::Ended, { start.x, start.y - 200 });
    advance(2);
    EXPECT_GE(g->contentOffset().y, 150);
    EXPECT_TRUE(picked.empty());
    EXPECT_FALSE(picker->isLoadingPicture());

    // At the end of the folder the last tiles come; the ones passed over were never decoded.
    g->setContentOffset(g->maximumContentOffset());
    waitForThumbnails();
    ASSERT_TRUE(g->loader().pictureForPath(g->pictures().back()));
    EXPECT_TRUE(g->loader().pictureForPath(g->pictures().back())->image);
    EXPECT_FALSE(g->loader().pictureForPath(g->pictures()[120]));
    EXPECT_LT(decoded(), 90u);
}

TEST_F(ImagePickerTest, TheGridIsWalkedWithTheArrowsAndReturnChooses)
{
    present(ImagePickerControllerSourceType::PhotoLibrary, false);
    waitForThumbnails();
    auto g = grid();
    for (int i = 0; i < 10 && window->keyboardFocus() != g.get(); ++i)
        window->sendKey(Key::Tab);
    ASSERT_EQ(window->keyboardFocus(), g.get());
    EXPECT_FALSE(g->keyboardItem());

    // The album, then the tiles: a row of the grid for Up and Down, back up to the album.
    window->sendKey(Key::Down);
    EXPECT_EQ(g->keyboardItem(), 0u);
    window->sendKey(Key::Down);
    EXPECT_EQ(g->keyboardItem(), 1u);
    window->sendKey(Key::Right);
    window->sendKey(Key::Right);
    EXPECT_EQ(g->keyboardItem(), 3u);
    window->sendKey(Key::End);
    EXPECT_EQ(g->keyboardItem(), 4u);
    window->sendKey(Key::Down);
    EXPECT_EQ(g->keyboardItem(), 4u) << "no further than the last tile";
    window->sendKey(Key::Up);
    EXPECT_EQ(g->keyboardItem(), 0u) << "from the grid's first row to the album";
    window->sendKey(Key::Down);
    ASSERT_TRUE(window->focusRingRect());
    const Rect tile = g->convertRectToView(g->rectForPicture(0), nullptr);
    EXPECT_EQ(*window->focusRingRect(), tile.insetBy(-Window::kFocusRingOutset, -Window::kFocusRingOutset).integral());
    writeScreenshot("focus_ring_picture_tile.png");

    // Return on a tile chooses its picture as a tap does.
    window->sendKey(Key::Right);
    window->sendKey(Key::Right);
    window->sendKey(Key::Right);
    const std::string chosen = g->pictures()[3];
    window->sendKey(Key::Return);
    ASSERT_TRUE(runLoop().runUntil([&] { return !picker->isLoadingPicture(); }, 10, 20));
    advance(1);
    ASSERT_EQ(picked.size(), 1u) << chosen;

    // Escape cancels as Cancel does.
    present(ImagePickerControllerSourceType::PhotoLibrary, false);
    window->sendKey(Key::Escape);
    advance(1);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(root->modalViewController());
}
