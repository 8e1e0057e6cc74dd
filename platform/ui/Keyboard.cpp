#include "ui/Keyboard.h"

#include "ui/Appearance.h"
#include "ui/Application.h"
#include "ui/Window.h"

#include "foundation/Bundle.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/StringFormat.h"

#include <algorithm>
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

// Key geometry of the 320-point keyboard: four rows 54 points apart; ten keys fill a row,
// and a row of more (German's eleven) packs them closer.
constexpr float kKeyWidth = 26;
constexpr float kKeyHeight = 40;
constexpr float kKeyPitch = 32;
constexpr float kFirstRow = 10;
constexpr float kRowPitch = 54;
constexpr float kRowWidth = 320;

std::string language()
{
    const std::string shown = foundation::Bundle::main().displayLanguage();
    return shown.substr(0, shown.find('_'));
}

// Shift for the letters of the rows: ASCII and the few others they hold.
std::string upperCase(const std::string& c)
{
    if (c.size() == 1)
        return std::string(1, char(std::toupper(static_cast<unsigned char>(c[0]))));
    static const std::pair<const char*, const char*> kPairs[] = { { "ä", "Ä" }, { "ö", "Ö" }, { "ü", "Ü" } };
    for (const auto& [lower, upper] : kPairs)
        if (c == lower)
            return upper;
    return c;
}

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
    setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleTopMargin);
}

std::string Keyboard::returnKeyTitle(ReturnKeyType type)
{
    using foundation::localizedString;
    switch (type) {
    case ReturnKeyType::Default:
        return localizedString("Keyboard Return");
    case ReturnKeyType::Go:
        return localizedString("Keyboard Go");
    case ReturnKeyType::Google:
        return "Google";
    case ReturnKeyType::Join:
        return localizedString("Keyboard Join");
    case ReturnKeyType::Next:
        return localizedString("Keyboard Next");
    case ReturnKeyType::Route:
        return localizedString("Keyboard Route");
    case ReturnKeyType::Search:
        return localizedString("Keyboard Search");
    case ReturnKeyType::Send:
        return localizedString("Keyboard Send");
    case ReturnKeyType::Yahoo:
        return "Yahoo";
    case ReturnKeyType::Done:
        return localizedString("Keyboard Done");
    case ReturnKeyType::EmergencyCall:
        return localizedString("Keyboard Emergency");
    }
    return localizedString("Keyboard Return");
}

std::vector<std::string> Keyboard::letterRows(const std::string& language)
{
    if (language == "de")
        return { "qwertzuiopü", "asdfghjklöä", "yxcvbnm" };
    if (language == "fr")
        return { "azertyuiop", "qsdfghjklm", "wxcvbn'" };
    return { "qwertyuiop", "asdfghjkl", "zxcvbnm" };
}

float Keyboard::coveredHeight() const
{
    if (!m_shown)
        return 0;
    return m_drawn ? kHeight : Application::sharedApplication().systemKeyboardHeight();
}

std::vector<Keyboard::Key> Keyboard::keys() const
{
    std::vector<Key> result;
    const std::string lang = language();
    const auto letters = letterRows(lang);
    // Rows of up to ten keys keep the English pitch; longer ones pack closer, all centred.
    size_t widest = 10;
    for (const auto& row : letters)
        widest = std::max(widest, characters(row).size());
    const float pitch = widest > 10 ? std::floor(kRowWidth / float(widest)) : kKeyPitch;
    const float width = std::round(pitch * kKeyWidth / kKeyPitch);
    auto row = [&](const std::string& text, int index) {
        const auto keys = characters(text);
        float x = std::round((kRowWidth - pitch * float(keys.size() - 1) - width) * 0.5f);
        for (const auto& c : keys) {
            result.push_back({ Key::Kind::Character, m_shift ? upperCase(c) : c, gfx::Rect(x, kFirstRow + kRowPitch * float(index), width, kKeyHeight) });
            x += pitch;
        }
    };
    const float third = kFirstRow + kRowPitch * 2, fourth = kFirstRow + kRowPitch * 3;
    if (m_numbers) {
        row("1234567890", 0);
        row(lang == "en" ? "-/:;()$&@" : "-/:;()\u20ac&@", 1);
        row(".,?!'\"_", 2);
    } else {
        for (int index = 0; index < 3; ++index)
            row(letters[size_t(index)], index);
        result.push_back({ Key::Kind::Shift, "", gfx::Rect(3, third, 36, kKeyHeight) });
    }
    result.push_back({ Key::Kind::Backspace, "", gfx::Rect(281, third, 36, kKeyHeight) });
    result.push_back({ m_numbers ? Key::Kind::Letters : Key::Kind::Numbers, m_numbers ? "ABC" : ".?123", gfx::Rect(3, fourth, 76, kKeyHeight) });
    result.push_back({ Key::Kind::Space, foundation::localizedString("Keyboard Space"), gfx::Rect(83, fourth, 154, kKeyHeight) });
    result.push_back({ Key::Kind::Return, returnKeyTitle(m_returnKeyType), gfx::Rect(241, fourth, 76, kKeyHeight) });
    // A wider screen keeps the keys at their size, in its middle.
    if (const float offset = std::round((bounds().width() - kRowWidth) * 0.5f); offset > 0)
        for (auto& key : result)
            key.frame = key.frame.offsetBy(offset, 0);
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
    m_drawn = Application::sharedApplication().keyboardKind() == KeyboardKind::OnScreen;
    if (m_drawn)
        slide(true);
    else
        announce(true);
}

void Keyboard::hide()
{
    if (!m_shown || m_handingOver)
        return;
    m_shown = false;
    m_pressedKey.reset();
    if (m_drawn)
        slide(false);
    else
        announce(false);
}

void Keyboard::systemHeightDidChange()
{
    if (m_shown && !m_drawn)
        announce(true);
}

void Keyboard::post(const char* name, bool up, float keysHeight)
{
    const float width = m_window.bounds().width();
    const float height = m_window.bounds().height();
    gfx::Point down { width * 0.5f, height + keysHeight * 0.5f };
    gfx::Point raised { width * 0.5f, height - keysHeight * 0.5f };
    foundation::NotificationCenter::defaultCenter().postNotificationName(name, this,
        {
            { KeyboardBoundsUserInfoKey, foundation::format("{{0, 0}, {%g, %g}}", double(width), double(keysHeight)) },
            { KeyboardCenterBeginUserInfoKey, pointText(up ? down : raised) },
            { KeyboardCenterEndUserInfoKey, pointText(up ? raised : down) },
            { KeyboardAnimationDurationUserInfoKey, foundation::format("%g", kAnimationDuration) },
        });
}

void Keyboard::announce(bool up)
{
    auto keep = sharedView();
    const unsigned generation = ++m_generation;
    const float keysHeight = Application::sharedApplication().systemKeyboardHeight();
    post(up ? KeyboardWillShowNotification : KeyboardWillHideNotification, up, keysHeight);
    if (m_announcement)
        m_announcement->invalidate();
    // The screens slide over the same time as for the drawn keys, and hear of the end alike.
    std::weak_ptr<View> weak = keep;
    m_announcement = foundation::RunLoop::main().performAfter(kAnimationDuration, [weak, generation, up, keysHeight] {
        auto self = std::static_pointer_cast<Keyboard>(weak.lock());
        if (!self || generation != self->m_generation)
            return;
        self->m_announcement.reset();
        self->post(up ? KeyboardDidShowNotification : KeyboardDidHideNotification, up, keysHeight);
    });
}

void Keyboard::slide(bool up)
{
    auto keep = sharedView();
    const unsigned generation = ++m_generation;
    const float width = m_window.bounds().width();
    const float height = m_window.bounds().height();
    if (up && superview() != &m_window) {
        setFrame(gfx::Rect(0, height, width, kHeight));
        m_window.addOverlayView(keep, Window::kKeyboardLevel);
    }
    post(up ? KeyboardWillShowNotification : KeyboardWillHideNotification, up, kHeight);
    View::beginAnimations("keyboard");
    View::setAnimationDuration(kAnimationDuration);
    View::setAnimationDelegate(std::weak_ptr<void>(keep));
    View::setAnimationDidStopSelector([this, generation, up](const std::string&, bool, void*) {
        // A later slide took over: it posts its own notifications.
        if (generation != m_generation)
            return;
        if (!up)
            removeFromSuperview();
        post(up ? KeyboardDidShowNotification : KeyboardDidHideNotification, up, kHeight);
    });
    setCenter({ width * 0.5f, up ? height - kHeight * 0.5f : height + kHeight * 0.5f });
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
    default: {
        // A caption longer in another language is set smaller rather than cut.
        gfx::Font font = gfx::Font::boldSystemFont(key.kind == Key::Kind::Space ? 15 : 16);
        const float room = f.width() - 8;
        if (const float wide = font.widthOfText(key.text); wide > room)
            font = gfx::Font::boldSystemFont(std::max(10.0f, std::floor(font.pointSize() * room / wide)));
        drawCentredText(context, key.text, f, font, ink, ink == gfx::Color::white() ? std::optional(gfx::Color::grey(0, 0.35f)) : std::nullopt);
        return;
    }
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
