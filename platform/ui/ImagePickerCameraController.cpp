#include "ui/ImagePickerCameraController.h"

#include "ui/Appearance.h"
#include "ui/Button.h"
#include "ui/ImagePickerCamera.h"
#include "ui/ImagePickerController.h"
#include "ui/Screen.h"

#include <algorithm>

namespace ui {

// The live picture, filling the view and cut to it, or a line saying there is none.
class ImagePickerCameraController::PreviewView : public View {
public:
    using View::View;
    std::shared_ptr<gfx::Image> frame;

    void drawRect(gfx::Context& context, const gfx::Rect&) override
    {
        const gfx::Rect b = bounds();
        if (!frame) {
            drawCentredText(context, ImagePickerCamera::shared() ? "Starting the camera…" : "No camera", b, gfx::Font::systemFont(17), gfx::Color::grey(0.7f));
            return;
        }
        const gfx::Size size = frame->size();
        if (size.width <= 0 || size.height <= 0)
            return;
        const float factor = std::max(b.width() / size.width, b.height() / size.height);
        const float w = size.width * factor;
        const float h = size.height * factor;
        context.drawImage(*frame, gfx::Rect(b.midX() - w * 0.5f, b.midY() - h * 0.5f, w, h));
    }
};

namespace {

constexpr float kShutterBarHeight = 72;

} // namespace

ImagePickerCameraController::ImagePickerCameraController(ImagePickerController& picker)
    : m_picker(picker)
{
    setTitle("Take Photo");
    ImagePickerController* owner = &m_picker;
    navigationItem()->setRightBarButtonItem(BarButtonItem::withSystemItem(BarButtonSystemItem::Cancel, [owner](BarButtonItem&) { owner->cancel(); }));
}

ImagePickerCameraController::~ImagePickerCameraController()
{
    if (m_running)
        if (auto camera = ImagePickerCamera::shared())
            camera->stop();
}

std::shared_ptr<gfx::Image> ImagePickerCameraController::currentFrame() const
{
    return m_preview ? m_preview->frame : nullptr;
}

void ImagePickerCameraController::loadView()
{
    const gfx::Rect frame = Screen::mainScreen().applicationFrame();
    auto root = std::make_shared<View>(frame);
    root->setBackgroundColor(gfx::Color::black());
    root->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    m_preview = std::make_shared<PreviewView>(gfx::Rect(0, 0, frame.width(), frame.height() - kShutterBarHeight));
    m_preview->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    root->addSubview(m_preview);
    auto bar = std::make_shared<View>(gfx::Rect(0, frame.height() - kShutterBarHeight, frame.width(), kShutterBarHeight));
    bar->setBackgroundColor(gfx::Color::grey(0.12f));
    bar->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleTopMargin);
    root->addSubview(bar);
    m_shutter = std::make_shared<Button>(gfx::Rect((frame.width() - 140) * 0.5f, (kShutterBarHeight - 44) * 0.5f, 140, 44));
    m_shutter->setBackgroundImageForState(glossyButtonImage(gfx::Color::grey(0.75f), gfx::Color::grey(0, 0.8f), 44, 10), ControlStateNormal);
    m_shutter->setTitleForState("Take Photo", ControlStateNormal);
    m_shutter->setTitleColorForState(gfx::Color::grey(0.1f), ControlStateNormal);
    m_shutter->setAutoresizingMask(ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin);
    std::weak_ptr<Responder> weak = weak_from_this();
    m_shutter->addTargetActionForControlEvents(this, [weak](Control&) {
        if (auto self = weak.lock())
            static_cast<ImagePickerCameraController&>(*self).takePicture();
    }, ControlEventTouchUpInside);
    m_shutter->setEnabled(ImagePickerCamera::shared() != nullptr);
    bar->addSubview(m_shutter);
    setView(root);
}

void ImagePickerCameraController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    auto camera = ImagePickerCamera::shared();
    if (!camera || m_running)
        return;
    m_running = true;
    std::weak_ptr<Responder> weak = weak_from_this();
    camera->start([weak](std::shared_ptr<gfx::Image> image) {
        auto self = weak.lock();
        if (!self)
            return;
        auto& controller = static_cast<ImagePickerCameraController&>(*self);
        if (!controller.m_preview)
            return;
        controller.m_preview->frame = std::move(image);
        controller.m_preview->setNeedsDisplay();
    });
}

void ImagePickerCameraController::viewDidDisappear(bool animated)
{
    if (m_running)
        if (auto camera = ImagePickerCamera::shared())
            camera->stop();
    m_running = false;
    ViewController::viewDidDisappear(animated);
}

void ImagePickerCameraController::takePicture()
{
    auto camera = ImagePickerCamera::shared();
    if (!camera || m_taking)
        return;
    m_taking = true;
    m_shutter->setEnabled(false);
    std::weak_ptr<Responder> weak = weak_from_this();
    camera->takeStill([weak](std::shared_ptr<gfx::Image> still) {
        auto self = weak.lock();
        if (!self)
            return;
        auto& controller = static_cast<ImagePickerCameraController&>(*self);
        controller.m_taking = false;
        controller.m_shutter->setEnabled(true);
        if (still)
            controller.m_picker.pickImage(std::move(still));
    });
}

} // namespace ui
