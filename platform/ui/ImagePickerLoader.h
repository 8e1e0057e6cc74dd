#pragma once

#include "graphics/Image.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace foundation {
class RunLoop;
}

namespace ui {

/// Decodes the image picker's pictures on a thread of its own (the grid's thumbnails, the
/// picture chosen), so that decoding a large file never holds up a frame. Each result is posted to the run loop the
/// loader was made on and kept in a bounded cache there; the handler hears of it on that
/// loop. The requests made last are served first (the rows just scrolled to).
///
/// Made, used and destroyed on one thread (the main one), before the run loop it posts to
/// goes; destruction waits for a decode in progress to end and drops the results not yet
/// delivered.
class ImagePickerLoader {
public:
    struct Picture {
        /// The picture at most pixelSize by the loader's fit; null on failure.
        std::shared_ptr<gfx::Image> image;
        gfx::Image::ReadFailure failure { gfx::Image::ReadFailure::None };
    };
    using Handler = std::function<void(const std::string& path)>;

    /// Pictures at most pixelSize pixels by fit (the shorter side for square thumbnails); the
    /// cache keeps the last cacheLimit (at least one).
    ImagePickerLoader(int pixelSize, gfx::Image::Fit fit, std::size_t cacheLimit);
    ~ImagePickerLoader();
    ImagePickerLoader(const ImagePickerLoader&) = delete;
    ImagePickerLoader& operator=(const ImagePickerLoader&) = delete;

    /// Called on the loop with each path whose picture (or failure) has come.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    /// The picture of path if it has come, else null.
    const Picture* pictureForPath(const std::string& path) const;
    /// Asks for path's picture unless it has come or is on its way; a request waiting
    /// already moves to the front.
    void request(const std::string& path);
    /// Forgets the requests that have not started (the rows scrolled away).
    void cancelPendingRequests();
    /// Requests asked for and not yet delivered.
    std::size_t outstandingCount() const { return m_outstanding; }
    int pixelSize() const { return m_pixelSize; }

private:
    struct Shared;

    void deliver(const std::string& path, Picture picture);

    int m_pixelSize;
    gfx::Image::Fit m_fit;
    std::size_t m_cacheLimit;
    foundation::RunLoop& m_loop;
    std::shared_ptr<Shared> m_shared;
    std::map<std::string, Picture> m_cache;
    std::deque<std::string> m_cacheOrder;
    std::size_t m_outstanding { 0 };
    Handler m_handler;
};

} // namespace ui
