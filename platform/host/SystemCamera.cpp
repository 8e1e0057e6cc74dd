#include "host/SystemCamera.h"

#include "foundation/Log.h"

#include <QImage>

#ifdef PARLIVO_HAVE_QT_MULTIMEDIA
#include <QCamera>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>
#include <QVideoSink>
#endif

#include <memory>

namespace host {

namespace {

// A copy of picture in our own pixels, at most maxSide on its longer side.
[[maybe_unused]] std::shared_ptr<gfx::Image> imageFromQImage(QImage picture, int maxSide)
{
    if (picture.isNull())
        return nullptr;
    if (picture.width() > maxSide || picture.height() > maxSide)
        picture = picture.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    auto wrapped = gfx::Bitmap::wrap(picture.bits(), picture.width(), picture.height(), int(picture.bytesPerLine()),
        gfx::PixelFormat::NativePremultiplied, [] { });
    if (!wrapped)
        return nullptr;
    return gfx::Image::withBitmap(wrapped->copy(), 1);
}

} // namespace

#ifdef PARLIVO_HAVE_QT_MULTIMEDIA

struct SystemCamera::Impl {
    std::unique_ptr<QCamera> camera;
    QMediaCaptureSession session;
    QImageCapture capture;
    QVideoSink sink;
    FrameHandler frameHandler;
    StillHandler stillHandler;

    Impl()
    {
        session.setImageCapture(&capture);
        session.setVideoSink(&sink);
        QObject::connect(&sink, &QVideoSink::videoFrameChanged, [this](const QVideoFrame& frame) {
            if (frameHandler)
                frameHandler(imageFromQImage(frame.toImage(), kPreviewSide));
        });
        QObject::connect(&capture, &QImageCapture::imageCaptured, [this](int, const QImage& picture) {
            if (auto handler = std::move(stillHandler))
                handler(imageFromQImage(picture, kStillSide));
        });
        QObject::connect(&capture, &QImageCapture::errorOccurred, [this](int, QImageCapture::Error, const QString& text) {
            foundation::logf("The camera could not take a picture: %s", text.toStdString().c_str());
            if (auto handler = std::move(stillHandler))
                handler(nullptr);
        });
    }
};

// The capture session is made on first use: making it loads the media back-end, which a
// program that never opens the camera should not pay for at start.
SystemCamera::SystemCamera() = default;

SystemCamera::~SystemCamera()
{
    stop();
}

bool SystemCamera::isAvailable()
{
    return !QMediaDevices::videoInputs().isEmpty();
}

void SystemCamera::start(FrameHandler handler)
{
    if (!m_impl)
        m_impl = std::make_unique<Impl>();
    m_impl->frameHandler = std::move(handler);
    if (m_impl->camera)
        return;
    const QCameraDevice device = QMediaDevices::defaultVideoInput();
    if (device.isNull())
        return;
    m_impl->camera = std::make_unique<QCamera>(device);
    QObject::connect(m_impl->camera.get(), &QCamera::errorOccurred, [](QCamera::Error, const QString& text) {
        foundation::logf("The camera failed: %s", text.toStdString().c_str());
    });
    m_impl->session.setCamera(m_impl->camera.get());
    m_impl->camera->start();
}

void SystemCamera::stop()
{
    if (!m_impl)
        return;
    m_impl->frameHandler = nullptr;
    if (!m_impl->camera)
        return;
    m_impl->camera->stop();
    m_impl->session.setCamera(nullptr);
    m_impl->camera.reset();
}

void SystemCamera::takeStill(StillHandler handler)
{
    if (!m_impl || !m_impl->camera || !m_impl->capture.isReadyForCapture()) {
        handler(nullptr);
        return;
    }
    m_impl->stillHandler = std::move(handler);
    m_impl->capture.capture();
}

#else

struct SystemCamera::Impl { };

SystemCamera::SystemCamera() = default;
SystemCamera::~SystemCamera() = default;

bool SystemCamera::isAvailable()
{
    return false;
}

void SystemCamera::start(FrameHandler) { }

void SystemCamera::stop() { }

void SystemCamera::takeStill(StillHandler handler)
{
    handler(nullptr);
}

#endif

} // namespace host
