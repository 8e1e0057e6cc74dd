#include "ui/Screen.h"

#include "ui/Window.h"

namespace ui {

Screen& Screen::mainScreen()
{
    static Screen screen;
    return screen;
}

gfx::Rect Screen::applicationFrame() const
{
    float top = m_statusBarHidden ? 0 : kStatusBarHeight;
    return gfx::Rect(0, top, 320, 480 - top);
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
        window->setNeedsDisplayInWindowRect(gfx::Rect(0, 0, 320, kStatusBarHeight));
}

} // namespace ui
