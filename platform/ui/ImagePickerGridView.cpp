#include "ui/ImagePickerGridView.h"

#include "ui/Appearance.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/StringFormat.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr float kFooterHeight = 44;
constexpr float kAlbumCoverSize = 44;
// Thumbnails cached per grid: a few screens' worth, so scrolling back finds them.
constexpr std::size_t kThumbnailCacheLimit = 400;

const gfx::Font& messageFont()
{
    static const gfx::Font font = gfx::Font::boldSystemFont(10);
    return font;
}

// Draws image covering rect (cut to it), as a square tile shows a picture of any shape.
void drawCovering(gfx::Context& context, const gfx::Image& image, const gfx::Rect& rect)
{
    const gfx::Size size = image.size();
    if (size.width <= 0 || size.height <= 0)
        return;
    const float factor = std::max(rect.width() / size.width, rect.height() / size.height);
    const float w = size.width * factor;
    const float h = size.height * factor;
    context.saveGState();
    context.clipToRect(rect);
    context.drawImage(image, gfx::Rect(rect.midX() - w * 0.5f, rect.midY() - h * 0.5f, w, h));
    context.restoreGState();
}

} // namespace

ImagePickerGridView::ImagePickerGridView(const gfx::Rect& frame)
    : ScrollView(frame)
    , m_loader(std::make_unique<ImagePickerLoader>(int(std::ceil(kTileSize * Screen::mainScreen().scale())), gfx::Image::Fit::Cover, kThumbnailCacheLimit))
{
    setBackgroundColor(gfx::Color::white());
    setAlwaysBounceVertical(true);
    // Only the tile whose thumbnail came is drawn again.
    m_loader->setHandler([this](const std::string& path) {
        for (std::size_t i = 0; i < m_pictures.size(); ++i)
            if (m_pictures[i] == path)
                setNeedsDisplayInRect(rectForPicture(i));
        for (std::size_t i = 0; i < m_albums.size(); ++i)
            if (m_albums[i].coverPath == path)
                setNeedsDisplayInRect(rectForAlbum(i));
    });
}

ImagePickerGridView::~ImagePickerGridView() = default;

void ImagePickerGridView::setContents(std::vector<Album> albums, std::vector<std::string> pictures)
{
    m_albums = std::move(albums);
    m_pictures = std::move(pictures);
    m_keyboardItem.reset();
    updateContentSize();
    setNeedsLayout();
    setNeedsDisplay();
}

float ImagePickerGridView::gridTop() const
{
    return float(m_albums.size()) * kAlbumRowHeight + kTileGap;
}

gfx::Rect ImagePickerGridView::rectForAlbum(std::size_t index) const
{
    return gfx::Rect(0, float(index) * kAlbumRowHeight, bounds().width(), kAlbumRowHeight);
}

gfx::Rect ImagePickerGridView::rectForPicture(std::size_t index) const
{
    const float rowWidth = kColumns * kTileSize + (kColumns - 1) * kTileGap;
    const float left = std::round((bounds().width() - rowWidth) * 0.5f);
    const std::size_t row = index / kColumns;
    const std::size_t column = index % kColumns;
    return gfx::Rect(left + float(column) * (kTileSize + kTileGap), gridTop() + float(row) * (kTileSize + kTileGap), kTileSize, kTileSize);
}

std::string ImagePickerGridView::messageForPicture(std::size_t index) const
{
    if (index >= m_pictures.size())
        return {};
    const auto* picture = m_loader->pictureForPath(m_pictures[index]);
    if (!picture)
        return {};
    switch (picture->failure) {
    case gfx::Image::ReadFailure::None:
        return {};
    case gfx::Image::ReadFailure::TooLarge:
        return "Picture too large";
    case gfx::Image::ReadFailure::Unreadable:
        break;
    }
    return "Can't read this file";
}

void ImagePickerGridView::updateContentSize()
{
    const std::size_t rows = (m_pictures.size() + kColumns - 1) / kColumns;
    const float grid = float(rows) * (kTileSize + kTileGap);
    setContentSize({ bounds().width(), gridTop() + grid + kFooterHeight });
}

void ImagePickerGridView::layoutSubviews()
{
    updateContentSize();
    requestVisibleThumbnails();
    ScrollView::layoutSubviews();
}

void ImagePickerGridView::requestVisibleThumbnails()
{
    // What scrolled away is no longer wanted; what shows is asked for, the top last so it
    // comes first.
    m_loader->cancelPendingRequests();
    const gfx::Rect visible = bounds();
    for (std::size_t i = m_albums.size(); i-- > 0;)
        if (!m_albums[i].coverPath.empty() && rectForAlbum(i).intersects(visible))
            m_loader->request(m_albums[i].coverPath);
    if (m_pictures.empty())
        return;
    const float pitch = kTileSize + kTileGap;
    const long firstRow = std::max(long(std::floor((visible.minY() - gridTop()) / pitch)), 0L);
    const long lastRow = long(std::floor((visible.maxY() - gridTop()) / pitch));
    if (lastRow < firstRow)
        return;
    const std::size_t first = std::size_t(firstRow) * kColumns;
    const std::size_t end = std::min(std::size_t(lastRow + 1) * kColumns, m_pictures.size());
    for (std::size_t i = end; i-- > first;)
        m_loader->request(m_pictures[i]);
}

void ImagePickerGridView::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    for (std::size_t i = 0; i < m_albums.size(); ++i)
        if (rectForAlbum(i).intersects(rect))
            drawAlbum(context, i);
    if (!m_pictures.empty()) {
        const float pitch = kTileSize + kTileGap;
        const long firstRow = std::max(long(std::floor((rect.minY() - gridTop()) / pitch)), 0L);
        const long lastRow = long(std::floor((rect.maxY() - gridTop()) / pitch));
        const std::size_t end = lastRow < firstRow ? 0 : std::min(std::size_t(lastRow + 1) * kColumns, m_pictures.size());
        for (std::size_t i = std::size_t(firstRow) * kColumns; i < end; ++i)
            drawPicture(context, i);
    }
    const float footerTop = contentSize().height - kFooterHeight;
    if (rect.maxY() >= footerTop) {
        const std::size_t n = m_pictures.size();
        const std::string text = n == 0 ? "No Pictures" : n == 1 ? "1 Picture" : foundation::format("%zu Pictures", n);
        drawCentredText(context, text, gfx::Rect(0, footerTop, bounds().width(), kFooterHeight), gfx::Font::systemFont(17), gfx::Color::grey(0.45f));
    }
}

void ImagePickerGridView::drawAlbum(gfx::Context& context, std::size_t index) const
{
    const Album& album = m_albums[index];
    const gfx::Rect row = rectForAlbum(index);
    const gfx::Rect cover(row.minX() + 8, row.midY() - kAlbumCoverSize * 0.5f, kAlbumCoverSize, kAlbumCoverSize);
    const auto* picture = album.coverPath.empty() ? nullptr : m_loader->pictureForPath(album.coverPath);
    if (picture && picture->image)
        drawCovering(context, *picture->image, cover);
    else
        context.fillRect(cover, gfx::Color::grey(0.82f));
    const gfx::Font title = gfx::Font::boldSystemFont(18);
    const gfx::Font count = gfx::Font::systemFont(18);
    const float textLeft = cover.maxX() + 10;
    const float titleWidth = std::min(title.widthOfText(album.title), row.maxX() - 80 - textLeft);
    const float lineTop = std::round(row.midY() - title.lineHeight() * 0.5f);
    context.drawText(album.title, gfx::Rect(textLeft, lineTop, titleWidth, title.lineHeight()), title, gfx::Color::black(),
        gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
    context.drawText(foundation::format("(%zu)", album.pictureCount), gfx::Rect(textLeft + titleWidth + 6, lineTop, 70, count.lineHeight()), count,
        gfx::Color::grey(0.5f), gfx::TextAlignment::Left, gfx::LineBreakMode::Clip, 1);
    // The chevron of a row that opens another screen.
    gfx::Path chevron;
    const float cx = row.maxX() - 20;
    chevron.moveTo({ cx - 4, row.midY() - 6 });
    chevron.lineTo({ cx + 2, row.midY() });
    chevron.lineTo({ cx - 4, row.midY() + 6 });
    context.strokePath(chevron, gfx::Color::grey(0.5f), 2.5f);
    context.fillRect(gfx::Rect(row.minX(), row.maxY() - 1, row.width(), 1), gfx::Color::grey(0.88f));
}

void ImagePickerGridView::drawPicture(gfx::Context& context, std::size_t index) const
{
    const gfx::Rect tile = rectForPicture(index);
    const auto* picture = m_loader->pictureForPath(m_pictures[index]);
    if (picture && picture->image) {
        drawCovering(context, *picture->image, tile);
        return;
    }
    if (!picture) {
        context.fillRect(tile, gfx::Color::grey(0.78f));
        return;
    }
    // A file that gave no thumbnail says why, in its tile.
    context.fillRect(tile, gfx::Color::grey(0.3f));
    const gfx::Rect inner = tile.insetBy(5, 0);
    const float lineHeight = messageFont().lineHeight();
    context.drawText(messageForPicture(index), gfx::Rect(inner.minX(), tile.midY() - lineHeight, inner.width(), lineHeight * 2), messageFont(),
        gfx::Color::white(), gfx::TextAlignment::Center, gfx::LineBreakMode::WordWrap, 2);
}

void ImagePickerGridView::touchesBegan(const TouchSet& touches, const Event& event)
{
    // A finger that stops a moving grid only stops it.
    m_tapPossible = !isDecelerating();
    ScrollView::touchesBegan(touches, event);
}

void ImagePickerGridView::touchesEnded(const TouchSet& touches, const Event& event)
{
    const bool tap = m_tapPossible && !isDragging() && !touches.empty();
    m_tapPossible = false;
    ScrollView::touchesEnded(touches, event);
    if (!tap)
        return;
    const gfx::Point p = touches.front()->locationInView(this);
    for (std::size_t i = 0; i < m_albums.size(); ++i)
        if (rectForAlbum(i).containsPoint(p)) {
            if (m_albumHandler)
                m_albumHandler(m_albums[i]);
            return;
        }
    for (std::size_t i = 0; i < m_pictures.size(); ++i)
        if (rectForPicture(i).containsPoint(p)) {
            if (m_pictureHandler)
                m_pictureHandler(m_pictures[i]);
            return;
        }
}

gfx::Rect ImagePickerGridView::keyboardFocusRect() const
{
    if (m_keyboardItem) {
        const std::size_t item = *m_keyboardItem;
        const gfx::Rect r = item < m_albums.size() ? rectForAlbum(item).insetBy(4, 3) : rectForPicture(item - m_albums.size());
        const gfx::Rect shown = r.intersection(bounds());
        if (!shown.isEmpty())
            return shown;
    }
    return bounds().insetBy(4, 4);
}

void ImagePickerGridView::keyPressed(Key key)
{
    Window* w = window();
    const std::size_t count = m_albums.size() + m_pictures.size();
    if (!w || w->keyboardFocus() != this || count == 0) {
        ScrollView::keyPressed(key);
        return;
    }
    if (key == Key::Return) {
        if (!m_keyboardItem)
            return;
        // The handler may take this view away.
        auto keep = sharedView();
        const std::size_t item = *m_keyboardItem;
        if (item < m_albums.size()) {
            if (m_albumHandler)
                m_albumHandler(m_albums[item]);
        } else if (m_pictureHandler)
            m_pictureHandler(m_pictures[item - m_albums.size()]);
        return;
    }
    const std::size_t albums = m_albums.size();
    std::size_t next;
    if (!m_keyboardItem) {
        if (key != Key::Left && key != Key::Right && key != Key::Up && key != Key::Down && key != Key::Home && key != Key::End) {
            ScrollView::keyPressed(key);
            return;
        }
        next = key == Key::End ? count - 1 : 0;
    } else {
        const std::size_t item = *m_keyboardItem;
        const bool inGrid = item >= albums;
        switch (key) {
        case Key::Left:
            next = item > 0 ? item - 1 : 0;
            break;
        case Key::Right:
            next = std::min(item + 1, count - 1);
            break;
        case Key::Up:
            // From the grid's first row to the last album, else a row up.
            next = !inGrid ? (item > 0 ? item - 1 : 0) : item - albums >= std::size_t(kColumns) ? item - kColumns : (albums > 0 ? albums - 1 : item);
            break;
        case Key::Down:
            next = !inGrid ? item + 1 : std::min(item + kColumns, count - 1);
            next = std::min(next, count - 1);
            break;
        case Key::Home:
            next = 0;
            break;
        case Key::End:
            next = count - 1;
            break;
        default:
            ScrollView::keyPressed(key);
            return;
        }
    }
    m_keyboardItem = next;
    scrollRectToVisible(next < albums ? rectForAlbum(next) : rectForPicture(next - albums), true);
    setNeedsDisplay();
}

} // namespace ui
