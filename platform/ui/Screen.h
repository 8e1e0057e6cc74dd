#pragma once

#include "graphics/Geometry.h"

namespace ui {

/// The screen the windows show on: as large as the host's window in points, never less than
/// the 320 × 480 the screens were designed for; the top 20 points are taken by the status bar.
/// Its scale (pixels per point) is the host's choice (2 unless told otherwise). Main thread.
class Screen {
public:
    static Screen& mainScreen();

    static constexpr gfx::Size kDesignSize { 320, 480 };
    static constexpr float kStatusBarHeight = 20;

    gfx::Rect bounds() const { return gfx::Rect(0, 0, m_size.width, m_size.height); }
    /// The bounds less the status bar (none when it is hidden).
    gfx::Rect applicationFrame() const;
    /// The application frame at the designed size: screens with fixed frames build their
    /// views in it, and their autoresizing takes them to the screen's size.
    gfx::Rect designApplicationFrame() const;
    /// Sizes below the designed one are raised to it; a side over 65536 points (or not a
    /// number) leaves the size as it was. A change resizes every window that covered the old
    /// bounds to the new ones, so their views lay themselves out again.
    void setSize(gfx::Size size);
    float scale() const { return m_scale; }
    /// Values at or below 0 are ignored.
    void setScale(float scale);
    bool isStatusBarHidden() const { return m_statusBarHidden; }
    void setStatusBarHidden(bool hidden);

private:
    gfx::Size m_size { kDesignSize };
    float m_scale { 2 };
    bool m_statusBarHidden { false };
};

} // namespace ui
