#pragma once

#include "graphics/Geometry.h"

namespace ui {

/// The phone-shaped screen: 320 × 480 points, the top 20 taken by the status bar. Its scale
/// (pixels per point) is the host's choice (2 unless told otherwise). Main thread.
class Screen {
public:
    static Screen& mainScreen();

    gfx::Rect bounds() const { return gfx::Rect(0, 0, 320, 480); }
    /// The bounds less the status bar (none when it is hidden).
    gfx::Rect applicationFrame() const;
    float scale() const { return m_scale; }
    /// Values at or below 0 are ignored.
    void setScale(float scale);
    bool isStatusBarHidden() const { return m_statusBarHidden; }
    void setStatusBarHidden(bool hidden);

    static constexpr float kStatusBarHeight = 20;

private:
    float m_scale { 2 };
    bool m_statusBarHidden { false };
};

} // namespace ui
