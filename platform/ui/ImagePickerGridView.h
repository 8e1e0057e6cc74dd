#pragma once

#include "ui/ImagePickerLoader.h"
#include "ui/ScrollView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

/// The image picker's browser of one folder: its albums (subfolders) as rows at the top,
/// then its pictures as a scrolling grid of square thumbnails, four to a row, and a line with
/// their number. Thumbnails are decoded off the main thread for the tiles that show (the
/// latest first) and drawn as they come; until then a tile is dark, and a file that cannot be
/// read, or is too large, says so in its tile. Tiles are drawn, not views, so a folder of any
/// size costs only what shows. A tap (not a drag) on an album or a picture tells the owner.
/// Main thread only.
class ImagePickerGridView : public ScrollView {
public:
    struct Album {
        std::string path;
        std::string title;
        std::size_t pictureCount { 0 };
        /// Its first picture, shown small beside the title; empty when it has none.
        std::string coverPath;
    };

    explicit ImagePickerGridView(const gfx::Rect& frame = {});
    ~ImagePickerGridView() override;

    void setContents(std::vector<Album> albums, std::vector<std::string> pictures);
    const std::vector<Album>& albums() const { return m_albums; }
    const std::vector<std::string>& pictures() const { return m_pictures; }

    /// What a tap chose.
    void setAlbumHandler(std::function<void(const Album&)> handler) { m_albumHandler = std::move(handler); }
    void setPictureHandler(std::function<void(const std::string& path)> handler) { m_pictureHandler = std::move(handler); }

    /// Where an album row and a picture tile are, in content coordinates.
    gfx::Rect rectForAlbum(std::size_t index) const;
    gfx::Rect rectForPicture(std::size_t index) const;
    /// The message a tile shows for a file that could not be made a thumbnail, else empty.
    std::string messageForPicture(std::size_t index) const;
    /// The thumbnails, for their owner and tests.
    ImagePickerLoader& loader() { return *m_loader; }

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    /// A stop of Tab while it shows something. With the focus the arrows move the ring over
    /// the albums and the tiles (Up and Down by a row of the grid), scrolled into view, and
    /// Return chooses as a tap does; without it the keys scroll.
    bool canBecomeKeyboardFocus() const override { return !m_albums.empty() || !m_pictures.empty(); }
    gfx::Rect keyboardFocusRect() const override;
    void keyPressed(Key key) override;
    /// The album (from 0) or the picture (after the albums) the ring is on.
    std::optional<std::size_t> keyboardItem() const { return m_keyboardItem; }

    static constexpr float kTileSize = 75;
    static constexpr float kTileGap = 4;
    static constexpr int kColumns = 4;
    static constexpr float kAlbumRowHeight = 56;

private:
    float gridTop() const;
    void updateContentSize();
    void requestVisibleThumbnails();
    void drawAlbum(gfx::Context& context, std::size_t index) const;
    void drawPicture(gfx::Context& context, std::size_t index) const;

    std::vector<Album> m_albums;
    std::vector<std::string> m_pictures;
    std::unique_ptr<ImagePickerLoader> m_loader;
    std::function<void(const Album&)> m_albumHandler;
    std::function<void(const std::string&)> m_pictureHandler;
    /// Whether the finger now down may be a tap: it did not stop a moving grid.
    bool m_tapPossible { false };
    std::optional<std::size_t> m_keyboardItem;
};

} // namespace ui
