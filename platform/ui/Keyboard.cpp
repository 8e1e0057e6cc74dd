#include "ui/Keyboard.h"

#include "ui/Appearance.h"
#include "ui/Window.h"

#include "foundation/Bundle.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"

#include <cctype>
#include <cmath>

namespace ui {

const char* const KeyboardWillShowNotification = "KeyboardWillShowNotification";
const char* const KeyboardDidShowNotification = "KeyboardDidShowNotification";
const char* const KeyboardWillHideNotification = "KeyboardWillHideNotification";
const char* const KeyboardDidHideNotification = "KeyboardDidHideNotification";
const char* const KeyboardBoundsUserInfoKey = "KeyboardBoundsUserInfoKey";
const char* const KeyboardCenterBeginUserInfoKey = "KeyboardCenterBeginUserInfoKey";
const char* const KeyboardCenterEndUserInfoKey = "KeyboardCenterEndUserInfoKey";
const char* const KeyboardAnimationDurationUserInfoKey = "KeyboardAnimationDurationUserInfoKey";

namespace {

// Key geometry of the 320-point keyboard: four rows 54 points apart.
constexpr float kKeyWidth = 26;
constexpr float kKeyHeight = 40;
constexpr float kKeyPitch = 32;
constexpr float kFirstRow = 10;
constexpr float kRowPitch = 54;

std::string pointText(gfx::Point p)
{
    return foundation::format("{%g, %g}", double(p.x), double(p.y));
}

std::vector<std::string> characters(const std::string& row)
{
    std::vector<std::string> result;
    for (size_t i = 0; i < row.size();) {
        size_t length = 1;
        while (i + length < row.size() && (static_cast<unsigned char>(row[i + length]) & 0xC0) == 0x80)
            ++length;
        result.push_back(row.substr(i, length));
        i += length;
    }
    return result;
}

} // namespace

Keyboard::Keyboard(Window& window)
    : View(gfx::Rect(0, window.bounds().height(), 320, kHeight))
    , m_window(window)
{
}

std::string Keyboard::returnKeyTitle(ReturnKeyType type)
{
    switch (type) {
    case ReturnKeyType::Default:
        return "return";
    case ReturnKeyType::Go:
        return "Go";
    case ReturnKeyType::Google:
        return "Google";
    case ReturnKeyType::Join:
        return "Join";
    case ReturnKeyType::Next:
        return "Next";
    case ReturnKeyType::Route:
        return "Route";
    case ReturnKeyType::Search:
        return "Search";
    case ReturnKeyType::Send:
        return "Send";
    case ReturnKeyType::Yahoo:
        return "Yahoo";
    case ReturnKeyType::Done:
        return "Done";
    case ReturnKeyType::EmergencyCall:
        return "Emergency";
    }
    return "return";
}

std::vector<Keyboard::Key> Keyboard::keys() const
{
    std::vector<Key> result;
    auto row = [&](const std::string& letters, float left, int index) {
        float x = left;
        for (const auto& c : characters(letters)) {
            std::string shown = c;
            if (m_shift && c.size() == 1)
                shown = std::string(1, char(std::toupper(static_cast<unsigned char>(c[0]))));
            result.push_back({ Key::Kind::Character, shown, gfx::Rect(x, kFirstRow + kRowPitch * float(index), kKeyWidth, kKeyHeight) });
            x += kKeyPitch;
        }
    };
    const float third = kFirstRow + kRowPitch * 2, fourth = kFirstRow + kRowPitch * 3;
    if (m_numbers) {
        row("1234567890", 3, 0);
        row("-/:;()$&@", 19, 1);
        row(".,?!'\"_", 51, 2);
    } else {
        row("qwertyuiop", 3, 0);
        row("asdfghjkl", 19, 1);
        row("zxcvbnm", 51, 2);
        result.push_back({ Key::Kind::Shift, "", gfx::Rect(3, third, 36, kKeyHeight) });
    }
    result.push_back({ Key::Kind::Backspace, "", gfx::Rect(281, third, 36, kKeyHeight) });
    result.push_back({ m_numbers ? Key::Kind::Letters : Key::Kind::Numbers, m_numbers ? "ABC" : ".?123", gfx::Rect(3, fourth, 76, kKeyHeight) });
    result.push_back({ Key::Kind::Space, "space", gfx::Rect(83, fourth, 154, kKeyHeight) });
    result.push_back({ Key::Kind::Return, returnKeyTitle(m_returnKeyType), gfx::Rect(241, fourth, 76, kKeyHeight) });
    return result;
}

const Keyboard::Key* Keyboard::keyAt(gfx::Point point, const std::vector<Key>& keys) const
{
    // Each key answers for the gaps around it, as a finger is wider than the gap.
    const Key* best = nullptr;
    float bestDistance = 0;
    for (const auto& key : keys) {
        gfx::Rect area = key.frame.insetBy(-(kKeyPitch - kKeyWidth) * 0.5f, -(kRowPitch - kKeyHeight) * 0.5f);
        if (!area.containsPoint(point))
            continue;
        float distance = std::hypot(point.x - key.frame.midX(), point.y - key.frame.midY());
        if (!best || distance < bestDistance) {
            best = &key;
            bestDistance = distance;
        }
    }
    return best;
}

// Showing and hiding

void Keyboard::showForTextField(const TextField& field)
{
    if (m_returnKeyType != field.returnKeyType() || !m_shown) {
        m_returnKeyType = field.returnKeyType();
        const KeyboardType type = field.keyboardType();
        m_numbers = type == KeyboardType::NumbersAndPunctuation || type == KeyboardType::NumberPad || type == KeyboardType::PhonePad;
        m_shift = false;
        setNeedsDisplay();
    }
    if (m_shown)
        return;
    m_shown = true;
    slide(true);
}

void Keyboard::hide()
{
    if (!m_shown || m_handingOver)
        return;
    m_shown = false;
    m_pressedKey.reset();
    slide(false);
}

void Keyboard::post(const char* name, bool up)
{
    const float height = m_window.bounds().height();
    gfx::Point down { 160, height + kHeight * 0.5f };
    gfx::Point raised { 160, height - kHeight * 0.5f };
    foundation::NotificationCenter::defaultCenter().postNotificationName(name, this,
        {
            { KeyboardBoundsUserInfoKey, "{{0, 0}, {320, 216}}" },
            { KeyboardCenterBeginUserInfoKey, pointText(up ? down : raised) },
            { KeyboardCenterEndUserInfoKey, pointText(up ? raised : down) },
            { KeyboardAnimationDurationUserInfoKey, foundation::format("%g", kAnimationDuration) },
        });
}

void Keyboard::slide(bool up)
{
    auto keep = sharedView();
    const unsigned generation = ++m_generation;
    const float height = m_window.bounds().height();
    if (up && superview() != &m_window) {
        setFrame(gfx::Rect(0, height, 320, kHeight));
        m_window.addOverlayView(keep, Window::kKeyboardLevel);
    }
    post(up ? KeyboardWillShowNotification : KeyboardWillHideNotification, up);
    View::beginAnimations("keyboard");
    View::setAnimationDuration(kAnimationDuration);
    View::setAnimationDelegate(std::weak_ptr<void>(keep));
    View::setAnimationDidStopSelector([this, generation, up](const std::string&, bool, void*) {
        // A later slide took over: it posts its own notifications.
        if (generation != m_generation)
            return;
        if (!up)
            removeFromSuperview();
        post(up ? KeyboardDidShowNotification : KeyboardDidHideNotification, up);
    });
    setCenter({ 160, up ? height - kHeight * 0.5f : height + kHeight * 0.5f });
    View::commitAnimations();
}

// Keys

void Keyboard::press(const Key& key)
{
    auto keep = sharedView();
    switch (key.kind) {
    case Key::Kind::Character:
        m_window.sendText(key.text);
        if (m_shift) {
            m_shift = false;
            setNeedsDisplay();
        }
        return;
    case Key::Kind::Space:
        m_window.sendText(" ");
        return;
    case Key::Kind::Backspace:
        m_window.sendKey(ui::Key::Backspace);
        return;
    case Key::Kind::Return:
        m_window.sendKey(ui::Key::Return);
        return;
    case Key::Kind::Shift:
        m_shift = !m_shift;
        setNeedsDisplay();
        return;
    case Key::Kind::Numbers:
    case Key::Kind::Letters:
        m_numbers = key.kind == Key::Kind::Numbers;
        m_shift = false;
        setNeedsDisplay();
        return;
    }
}

void Keyboard::touchesBegan(const TouchSet& touches, const Event&)
{
    auto all = keys();
    const Key* key = keyAt(touches.front()->locationInView(this), all);
    m_pressedKey = key ? std::optional(key->frame) : std::nullopt;
    setNeedsDisplay();
}

void Keyboard::touchesMoved(const TouchSet& touches, const Event&)
{
    auto all = keys();
    const Key* key = keyAt(touches.front()->locationInView(this), all);
    std::optional<gfx::Rect> pressed = key ? std::optional(key->frame) : std::nullopt;
    if (pressed != m_pressedKey) {
        m_pressedKey = pressed;
        setNeedsDisplay();
    }
}

void Keyboard::touchesEnded(const TouchSet& touches, const Event&)
{
    auto all = keys();
    const Key* key = keyAt(touches.front()->locationInView(this), all);
    m_pressedKey.reset();
    setNeedsDisplay();
    if (key)
        press(*key);
}

void Keyboard::touchesCancelled(const TouchSet&, const Event&)
{
    m_pressedKey.reset();
    setNeedsDisplay();
}

// Drawing

void Keyboard::drawKey(gfx::Context& context, const Key& key, bool pressed)
{
    const gfx::Rect f = key.frame;
    const bool special = key.kind != Key::Kind::Character && key.kind != Key::Kind::Space;
    const bool blue = key.kind == Key::Kind::Return && m_returnKeyType != ReturnKeyType::Default;
    const bool lit = pressed || (key.kind == Key::Kind::Shift && m_shift);
    context.fillPath(roundedRectPath(f.offsetBy(0, 1), 5), gfx::Color::grey(0.1f, 0.55f));
    gfx::Path body = roundedRectPath(f, 5);
    std::vector<gfx::Color> colors;
    if (blue)
        colors = { gfx::Color::rgba(0.35f, 0.56f, 0.96f), gfx::Color::rgba(0.10f, 0.36f, 0.88f) };
    else if (lit && special)
        colors = { gfx::Color::white(), gfx::Color::grey(0.88f) };
    else if (special)
        colors = { gfx::Color::rgba(0.62f, 0.66f, 0.72f), gfx::Color::rgba(0.50f, 0.54f, 0.61f) };
    else if (lit)
        colors = { gfx::Color::rgba(0.72f, 0.76f, 0.82f), gfx::Color::rgba(0.62f, 0.66f, 0.72f) };
    else
        colors = { gfx::Color::white(), gfx::Color::rgba(0.88f, 0.89f, 0.91f) };
    fillVerticalGradient(context, f, colors, body);

    const gfx::Color ink = (special && !lit) || blue ? gfx::Color::white() : gfx::Color::black();
    const gfx::Point c = f.center();
    switch (key.kind) {
    case Key::Kind::Shift: {
        gfx::Path arrow;
        arrow.moveTo({ c.x, c.y - 9 });
        arrow.lineTo({ c.x + 9, c.y + 1 });
        arrow.lineTo({ c.x + 4, c.y + 1 });
        arrow.lineTo({ c.x + 4, c.y + 8 });
        arrow.lineTo({ c.x - 4, c.y + 8 });
        arrow.lineTo({ c.x - 4, c.y + 1 });
        arrow.lineTo({ c.x - 9, c.y + 1 });
        arrow.closeSubpath();
        context.fillPath(arrow, lit ? gfx::Color::grey(0.2f) : gfx::Color::white());
        return;
    }
    case Key::Kind::Backspace: {
        gfx::Path shape;
        shape.moveTo({ c.x - 12, c.y });
        shape.lineTo({ c.x - 5, c.y - 7 });
        shape.lineTo({ c.x + 11, c.y - 7 });
        shape.lineTo({ c.x + 11, c.y + 7 });
        shape.lineTo({ c.x - 5, c.y + 7 });
        shape.closeSubpath();
        context.fillPath(shape, lit ? gfx::Color::grey(0.2f) : gfx::Color::white());
        gfx::Path cross;
        cross.moveTo({ c.x - 1, c.y - 3.5f });
        cross.lineTo({ c.x + 6, c.y + 3.5f });
        cross.moveTo({ c.x + 6, c.y - 3.5f });
        cross.lineTo({ c.x - 1, c.y + 3.5f });
        context.strokePath(cross, lit ? gfx::Color::white() : gfx::Color::rgba(0.5f, 0.54f, 0.61f), 2);
        return;
    }
    case Key::Kind::Character:
        drawCentredText(context, key.text, f, gfx::Font::systemFont(22), ink);
        return;
    default:
        drawCentredText(context, key.text, f, gfx::Font::boldSystemFont(key.kind == Key::Kind::Space ? 15 : 16), ink,
            ink == gfx::Color::white() ? std::optional(gfx::Color::grey(0, 0.35f)) : std::nullopt);
        return;
    }
}

void Keyboard::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    fillVerticalGradient(context, b, { gfx::Color::rgba(0.60f, 0.64f, 0.70f), gfx::Color::rgba(0.40f, 0.44f, 0.51f) });
    context.fillRect(gfx::Rect(0, 0, b.width(), 1), gfx::Color::grey(0.25f));
    for (const auto& key : keys())
        drawKey(context, key, m_pressedKey && *m_pressedKey == key.frame);
}

} // namespace ui
