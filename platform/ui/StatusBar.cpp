#include "ui/StatusBar.h"

#include "ui/Appearance.h"
#include "ui/Application.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/RunLoop.h"
#include "foundation/StringFormat.h"

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
    // The locale's own short time: "12:00 PM" in American English, "12:00" where the locale
    // counts 24 hours (German, French, British English).
    return foundation::formatTimeOfDay(foundation::currentDate());
}

std::string StatusBar::batteryText(const BatteryStatus& status)
{
    return foundation::format(foundation::localizedString("Battery Percent Format").c_str(), int(std::lround(status.level * 100)));
}

namespace {

// A battery drawn in ink: an outline with its nub, filled as far as it is charged, and a
// bolt over it while it charges.
void drawBattery(gfx::Context& context, const gfx::Rect& body, const BatteryStatus& status, gfx::Color ink)
{
    context.strokePath(roundedRectPath(body.insetBy(0.5f, 0.5f), 2.5f), ink, 1);
    context.fillRect(gfx::Rect(body.maxX() + 0.5f, body.midY() - 2, 1.5f, 4), ink);
    const gfx::Rect inside = body.insetBy(2, 2);
    const float filled = std::round(inside.width() * status.level * 2) / 2;
    // Nearly empty shows red, as a warning.
    const gfx::Color fill = status.level < 0.2f && status.state == BatteryStatus::State::Discharging ? gfx::Color::rgba(0.95f, 0.25f, 0.2f) : ink;
    if (filled > 0)
        context.fillPath(roundedRectPath(gfx::Rect(inside.minX(), inside.minY(), filled, inside.height()), 1), fill);
    if (status.state == BatteryStatus::State::Discharging)
        return;
    const gfx::Point c = body.center();
    gfx::Path bolt;
    bolt.moveTo({ c.x + 1.5f, c.y - 6.5f });
    bolt.lineTo({ c.x - 4, c.y + 1 });
    bolt.lineTo({ c.x - 0.5f, c.y + 1 });
    bolt.lineTo({ c.x - 1.5f, c.y + 6.5f });
    bolt.lineTo({ c.x + 4, c.y - 1 });
    bolt.lineTo({ c.x + 0.5f, c.y - 1 });
    bolt.closeSubpath();
    // Outlined in the bar's colour, so it reads over the fill and over the empty part alike.
    context.strokePath(bolt, ink == gfx::Color::white() ? gfx::Color::black() : gfx::Color::grey(0.8f), 2);
    context.fillPath(bolt, ink == gfx::Color::white() ? gfx::Color::rgba(1, 0.85f, 0.2f) : ink);
}

} // namespace

void StatusBar::draw(gfx::Context& context)
{
    const float height = Screen::kStatusBarHeight;
    const float width = m_window.bounds().width();
    const gfx::Rect bar(0, 0, width, height);
    const Application& application = Application::sharedApplication();
    const StatusBarStyle style = application.statusBarStyle();
    // The default bar is light grey with dark marks; the black styles are black with white ones.
    const bool light = style == StatusBarStyle::Default;
    if (light)
        fillVerticalGradient(context, bar, { gfx::Color::grey(0.88f), gfx::Color::grey(0.70f) });
    else
        context.fillRect(bar, gfx::Color::grey(0, style == StatusBarStyle::BlackTranslucent ? 0.6f : 1.0f));
    const gfx::Color ink = light ? gfx::Color::grey(0.12f) : gfx::Color::white();
    gfx::Font font = gfx::Font::boldSystemFont(14);
    const float top = (height - font.lineHeight()) * 0.5f;
    context.drawText(timeText(), gfx::Rect(60, top, width - 120, height - top), font, ink, gfx::TextAlignment::Center, gfx::LineBreakMode::Clip, 1);
    // The battery only where the machine has one: a desktop without one shows nothing there.
    if (const auto& battery = application.batteryStatus()) {
        const gfx::Rect body(width - 6 - 2 - kBatteryWidth, std::round((height - kBatteryHeight) * 0.5f), kBatteryWidth, kBatteryHeight);
        drawBattery(context, body, *battery, ink);
        const gfx::Font small = gfx::Font::boldSystemFont(12);
        const std::string text = batteryText(*battery);
        const float textWidth = small.widthOfText(text) + 1;
        const float textTop = (height - small.lineHeight()) * 0.5f;
        context.drawText(text, gfx::Rect(body.minX() - 4 - textWidth, textTop, textWidth, height - textTop), small, ink, gfx::TextAlignment::Right,
            gfx::LineBreakMode::Clip, 1);
    }
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
        m_window.setNeedsDisplayInWindowRect(gfx::Rect(0, 0, m_window.bounds().width(), Screen::kStatusBarHeight));
        scheduleRefresh();
    });
}

} // namespace ui
