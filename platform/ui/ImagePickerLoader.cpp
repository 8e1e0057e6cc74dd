#include "ui/ImagePickerLoader.h"

#include "foundation/RunLoop.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace ui {

// What the loader and its thread share. The thread holds it too, so it outlives a loader
// that is destroyed while a decode runs; tasks posted to the loop reach the loader only
// through `owner`, which the loader clears when it goes.
struct ImagePickerLoader::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> queue; // front first
    std::set<std::string> inFlight; // queued or being decoded
    bool stopping { false };
    ImagePickerLoader* owner { nullptr };
    std::thread thread;
};

ImagePickerLoader::ImagePickerLoader(int pixelSize, gfx::Image::Fit fit, std::size_t cacheLimit)
    : m_pixelSize(std::max(pixelSize, 1))
    , m_fit(fit)
    , m_cacheLimit(std::max<std::size_t>(cacheLimit, 1))
    , m_loop(foundation::RunLoop::main())
    , m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

ImagePickerLoader::~ImagePickerLoader()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->owner = nullptr;
        m_shared->queue.clear();
    }
    m_shared->wake.notify_all();
    if (m_shared->thread.joinable())
        m_shared->thread.join();
}

const ImagePickerLoader::Picture* ImagePickerLoader::pictureForPath(const std::string& path) const
{
    auto it = m_cache.find(path);
    return it == m_cache.end() ? nullptr : &it->second;
}

void ImagePickerLoader::request(const std::string& path)
{
    if (m_cache.count(path))
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        auto queued = std::find(m_shared->queue.begin(), m_shared->queue.end(), path);
        if (queued != m_shared->queue.end()) {
            m_shared->queue.erase(queued);
            m_shared->queue.push_front(path);
            return;
        }
        if (m_shared->inFlight.count(path))
            return; // being decoded now
        m_shared->queue.push_front(path);
        m_shared->inFlight.insert(path);
        ++m_outstanding;
    }
    if (!m_shared->thread.joinable()) {
        const int size = m_pixelSize;
        const gfx::Image::Fit fit = m_fit;
        m_shared->thread = std::thread([shared = m_shared, size, fit, loop = &m_loop] {
            std::unique_lock lock(shared->mutex);
            while (true) {
                shared->wake.wait(lock, [&] { return shared->stopping || !shared->queue.empty(); });
                if (shared->stopping)
                    return;
                std::string path = shared->queue.front();
                shared->queue.pop_front();
                lock.unlock();
                Picture picture;
                picture.image = gfx::Image::fromFileFitting(path, size, fit, &picture.failure);
                lock.lock();
                if (shared->stopping)
                    return;
                // Posted under the lock, so a loader being destroyed has not yet let the loop go.
                loop->post([shared, path, picture = std::move(picture)]() mutable {
                    ImagePickerLoader* owner;
                    {
                        std::lock_guard ownerLock(shared->mutex);
                        shared->inFlight.erase(path);
                        owner = shared->owner;
                    }
                    if (owner)
                        owner->deliver(path, std::move(picture));
                });
            }
        });
    } else {
        m_shared->wake.notify_one();
    }
}

void ImagePickerLoader::cancelPendingRequests()
{
    std::lock_guard lock(m_shared->mutex);
    for (const auto& path : m_shared->queue)
        m_shared->inFlight.erase(path);
    m_outstanding -= std::min(m_outstanding, m_shared->queue.size());
    m_shared->queue.clear();
}

void ImagePickerLoader::deliver(const std::string& path, Picture picture)
{
    if (m_outstanding > 0)
        --m_outstanding;
    if (!m_cache.count(path)) {
        m_cacheOrder.push_back(path);
        while (m_cacheOrder.size() > m_cacheLimit) {
            m_cache.erase(m_cacheOrder.front());
            m_cacheOrder.pop_front();
        }
    }
    m_cache[path] = std::move(picture);
    if (m_handler)
        m_handler(path);
}

} // namespace ui
