#include "ui/StatusBar.h"

#include "ui/Appearance.h"
#include "ui/Application.h"
#include "ui/ImageView.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/RunLoop.h"

#include <cmath>

namespace ui {

StatusBar::StatusBar(Window& window)
    : m_window(window)
{
}

StatusBar::~StatusBar()
{
    if (m_refresh)
        m_refresh->invalidate();
}

std::string StatusBar::timeText()
{
    return foundation::formatDateWithStyles(foundation::currentDate(), foundation::DateStyle::None, foundation::DateStyle::Short);
}

void StatusBar::draw(gfx::Context& context)
{
    const float height = Screen::kStatusBarHeight;
    const gfx::Rect bar(0, 0, 320, height);
    const StatusBarStyle style = Application::sharedApplication().statusBarStyle();
    // The default bar is light grey with dark marks; the black styles are black with white ones.
    const bool light = style == StatusBarStyle::Default;
    if (light)
        fillVerticalGradient(context, bar, { gfx::Color::grey(0.88f), gfx::Color::grey(0.70f) });
    else
        context.fillRect(bar, gfx::Color::grey(0, style == StatusBarStyle::BlackTranslucent ? 0.6f : 1.0f));
    const gfx::Color ink = light ? gfx::Color::grey(0.12f) : gfx::Color::white();
    auto mark = [&](const char* name) { return light ? tintedImage(imageNamed(name), { ink }) : imageNamed(name); };
    if (auto signal = mark("status_signal.png"))
        context.drawImage(*signal, gfx::Rect(gfx::Point { 6, (height - signal->size().height) * 0.5f }, signal->size()));
    if (auto battery = mark("status_battery.png"))
        context.drawImage(*battery, gfx::Rect(gfx::Point { 314 - battery->size().width, (height - battery->size().height) * 0.5f }, battery->size()));
    gfx::Font font = gfx::Font::boldSystemFont(14);
    float top = (height - font.lineHeight()) * 0.5f;
    context.drawText(timeText(), gfx::Rect(60, top, 200, height - top), font, ink, gfx::TextAlignment::Center, gfx::LineBreakMode::Clip, 1);
}

void StatusBar::setShown(bool shown)
{
    if (m_refresh) {
        m_refresh->invalidate();
        m_refresh.reset();
    }
    if (shown)
        scheduleRefresh();
}

void StatusBar::scheduleRefresh()
{
    // Wakes at the next whole minute of the date, when the clock text changes.
    double date = foundation::currentDate();
    double untilNextMinute = 60.0 - std::fmod(date, 60.0);
    m_refresh = foundation::RunLoop::main().performAfter(untilNextMinute, [this] {
        m_window.setNeedsDisplayInWindowRect(gfx::Rect(0, 0, 320, Screen::kStatusBarHeight));
        scheduleRefresh();
    });
}

} // namespace ui
