#include "ui/Screen.h"

#include "ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

Screen& Screen::mainScreen()
{
    static Screen screen;
    return screen;
}

gfx::Rect Screen::applicationFrame() const
{
    float top = m_statusBarHidden ? 0 : kStatusBarHeight;
    return gfx::Rect(0, top, m_size.width, m_size.height - top);
}

gfx::Rect Screen::designApplicationFrame() const
{
    float top = m_statusBarHidden ? 0 : kStatusBarHeight;
    return gfx::Rect(0, top, kDesignSize.width, kDesignSize.height - top);
}

void Screen::setSize(gfx::Size size)
{
    // Beyond any display, a size only loses the views' precision (and NaN is never a size).
    constexpr float kLargest = 65536;
    if (!(size.width <= kLargest && size.height <= kLargest))
        return;
    gfx::Size next { std::max(kDesignSize.width, size.width), std::max(kDesignSize.height, size.height) };
    if (next == m_size)
        return;
    const gfx::Rect old = bounds();
    m_size = next;
    Window::screenDidChangeSize(old);
}

void Screen::setScale(float scale)
{
    if (scale > 0)
        m_scale = scale;
}

void Screen::setStatusBarHidden(bool hidden)
{
    if (hidden == m_statusBarHidden)
        return;
    m_statusBarHidden = hidden;
    if (Window* window = Window::keyWindow())
        window->setNeedsDisplayInWindowRect(gfx::Rect(0, 0, m_size.width, kStatusBarHeight));
}

} // namespace ui
