#include "ui/TableViewCell.h"

#include "ui/Appearance.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/TableView.h"

#include <cmath>
#include <map>
#include <numbers>
#include <tuple>

namespace ui {

namespace {

// The controls among what a cell shows, in reading order.
void collectControls(const View& view, std::vector<View*>& controls)
{
    for (View* child : view.accessibilityChildViews()) {
        if (dynamic_cast<Control*>(child))
            controls.push_back(child);
        else
            collectControls(*child, controls);
    }
}

// The texts a cell shows in its own labels, in reading order.
void collectLabelTexts(const View& view, std::vector<std::string>& texts)
{
    for (const View* child : view.accessibilityChildViews()) {
        AccessibilityData data;
        child->fillAccessibilityData(data);
        if (data.role == AccessibilityRole::StaticText)
            texts.push_back(data.name);
        else
            collectLabelTexts(*child, texts);
    }
}

} // namespace

namespace {

constexpr float kGroupedRadius = 10;
constexpr float kAccessoryMargin = 10;
const gfx::Color kSeparatorColor = gfx::Color::grey(0.88f);
const gfx::Color kGroupedBorderColor = gfx::Color::grey(0.67f);
const gfx::Color kChevronColor = gfx::Color::grey(0.5f);
const gfx::Color kCheckColor = gfx::Color::rgba(0.2f, 0.31f, 0.52f);
const gfx::Color kDeleteRed = gfx::Color::rgba(0.87f, 0.1f, 0.1f);

enum class Picture { Chevron, Check, Detail, DeleteControl, SelectionBlue, SelectionGray };

// Pictures made once per kind, size, colour variant and screen scale.
std::shared_ptr<gfx::Image> picture(Picture kind, gfx::Size size, int variant, const std::function<void(gfx::Context&)>& draw)
{
    using Key = std::tuple<int, float, float, int, float>;
    static std::map<Key, std::shared_ptr<gfx::Image>> cache;
    const Key key { int(kind), size.width, size.height, variant, Screen::mainScreen().scale() };
    if (auto it = cache.find(key); it != cache.end())
        return it->second;
    auto made = renderImage(size, draw);
    cache[key] = made;
    return made;
}

std::shared_ptr<gfx::Image> accessoryImage(TableViewCellAccessoryType type, bool highlighted)
{
    const int variant = highlighted ? 1 : 0;
    switch (type) {
    case TableViewCellAccessoryType::None:
        return nullptr;
    case TableViewCellAccessoryType::DisclosureIndicator:
        return picture(Picture::Chevron, { 10, 14 }, variant, [highlighted](gfx::Context& c) {
            gfx::Path path;
            path.moveTo({ 2, 1.5f });
            path.lineTo({ 8, 7 });
            path.lineTo({ 2, 12.5f });
            c.strokePath(path, highlighted ? gfx::Color::white() : kChevronColor, 3);
        });
    case TableViewCellAccessoryType::Checkmark:
        return picture(Picture::Check, { 15, 14 }, variant, [highlighted](gfx::Context& c) {
            gfx::Path path;
            path.moveTo({ 1.5f, 7.5f });
            path.lineTo({ 5.5f, 12 });
            path.lineTo({ 13.5f, 1.5f });
            c.strokePath(path, highlighted ? gfx::Color::white() : kCheckColor, 2.5f);
        });
    case TableViewCellAccessoryType::DetailDisclosureButton:
        return picture(Picture::Detail, { 24, 24 }, variant, [](gfx::Context& c) {
            gfx::Path circle;
            circle.addArc({ 12, 12 }, 11, 0, 2 * std::numbers::pi_v<float>, false);
            c.fillPath(circle, gfx::Color::white());
            gfx::Path inner;
            inner.addArc({ 12, 12 }, 9.5f, 0, 2 * std::numbers::pi_v<float>, false);
            c.fillPath(inner, gfx::Color::rgba(0.15f, 0.45f, 0.95f));
            gfx::Path chevron;
            chevron.moveTo({ 10, 7 });
            chevron.lineTo({ 15, 12 });
            chevron.lineTo({ 10, 17 });
            c.strokePath(chevron, gfx::Color::white(), 2.5f);
        });
    }
    return nullptr;
}

std::shared_ptr<gfx::Image> deleteControlImage()
{
    return picture(Picture::DeleteControl, { 29, 29 }, 0, [](gfx::Context& c) {
        gfx::Path ring;
        ring.addArc({ 14.5f, 14.5f }, 11, 0, 2 * std::numbers::pi_v<float>, false);
        c.fillPath(ring, gfx::Color::white());
        gfx::Path disc;
        disc.addArc({ 14.5f, 14.5f }, 9, 0, 2 * std::numbers::pi_v<float>, false);
        c.fillPath(disc, kDeleteRed);
        c.fillRect(gfx::Rect(8.5f, 13, 12, 3), gfx::Color::white());
    });
}

} // namespace

TableViewCell::TableViewCell(const gfx::Rect& frame, const std::string& reuseIdentifier)
    : View(frame)
    , m_reuseIdentifier(reuseIdentifier)
    , m_selectionView(std::make_shared<ImageView>())
    , m_contentView(std::make_shared<View>())
    , m_textLabel(std::make_shared<Label>())
    , m_imageView(std::make_shared<ImageView>())
    , m_accessoryView(std::make_shared<ImageView>())
    , m_deleteControl(std::make_shared<Button>())
    , m_deleteButton(std::make_shared<Button>())
{
    m_selectionView->setAlpha(0);
    m_selectionView->setUserInteractionEnabled(false);
    m_textLabel->setFont(gfx::Font::boldSystemFont(20));
    m_textLabel->setHighlightedTextColor(gfx::Color::white());
    m_textLabel->setBackgroundColor(std::nullopt);
    m_contentView->addSubview(m_imageView);
    m_contentView->addSubview(m_textLabel);
    m_accessoryView->setContentMode(ContentMode::Center);

    m_deleteControl->setImageForState(deleteControlImage(), ControlStateNormal);
    m_deleteControl->setAlpha(0);
    m_deleteButton->setBackgroundImageForState(glossyButtonImage(kDeleteRed, gfx::Color::rgba(0.5f, 0.05f, 0.05f), kDeleteButtonHeight, 6), ControlStateNormal);
    m_deleteButton->setTitleForState("Delete", ControlStateNormal);
    m_deleteButton->setTitleColorForState(gfx::Color::white(), ControlStateNormal);
    m_deleteButton->setFont(gfx::Font::boldSystemFont(14));
    m_deleteButton->setAlpha(0);
    // The cell may be gone by the time the table runs the handler; the table checks.
    m_deleteControl->addTargetActionForControlEvents(this, [this](Control&) {
        if (m_onDeleteControl)
            m_onDeleteControl(*this);
    }, ControlEventTouchUpInside);
    m_deleteButton->addTargetActionForControlEvents(this, [this](Control&) {
        if (m_onDelete)
            m_onDelete(*this);
    }, ControlEventTouchUpInside);

    addSubview(m_selectionView);
    addSubview(m_contentView);
    addSubview(m_accessoryView);
    addSubview(m_deleteControl);
    addSubview(m_deleteButton);
}

TableViewCell::~TableViewCell() = default;

void TableViewCell::prepareForReuse()
{
    m_selected = false;
    m_highlighted = false;
    m_showingDeleteConfirmation = false;
    updateSelectionLook(false);
    setNeedsLayout();
}

const std::string& TableViewCell::text() const
{
    return m_textLabel->text();
}

void TableViewCell::setText(const std::string& text)
{
    m_textLabel->setText(text);
}

std::shared_ptr<gfx::Image> TableViewCell::image() const
{
    return m_imageView->image();
}

void TableViewCell::setImage(std::shared_ptr<gfx::Image> image)
{
    if (image == m_imageView->image())
        return;
    m_imageView->setImage(std::move(image));
    setNeedsLayout();
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type)
{
    if (type == m_accessoryType)
        return;
    m_accessoryType = type;
    updateAccessoryImage();
    setNeedsLayout();
}

void TableViewCell::setHidesAccessoryWhenEditing(bool hides)
{
    if (hides == m_hidesAccessoryWhenEditing)
        return;
    m_hidesAccessoryWhenEditing = hides;
    setNeedsLayout();
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style)
{
    if (style == m_selectionStyle)
        return;
    m_selectionStyle = style;
    m_selectionImageSize = {};
    updateSelectionLook(false);
}

void TableViewCell::setSelected(bool selected, bool animated)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    updateSelectionLook(animated);
    announceAccessibilityChange(*this, AccessibilityChange::State);
}

void TableViewCell::fillAccessibilityData(AccessibilityData& data) const
{
    data.role = AccessibilityRole::ListItem;
    data.name = text();
    if (data.name.empty()) {
        std::vector<std::string> texts;
        collectLabelTexts(*m_contentView, texts);
        for (const auto& piece : texts)
            data.name += (data.name.empty() ? "" : ", ") + piece;
    }
    data.states |= AccessibilityStateSelectable | AccessibilityStateFocusable | (m_selected ? AccessibilityStateSelected : 0u);
    data.actions.push_back(AccessibilityAction::Press);
}

std::vector<View*> TableViewCell::accessibilityChildViews() const
{
    std::vector<View*> controls;
    for (View* child : View::accessibilityChildViews()) {
        if (dynamic_cast<Control*>(child))
            controls.push_back(child);
        else
            collectControls(*child, controls);
    }
    return controls;
}

bool TableViewCell::performAccessibilityAction(AccessibilityAction action, int part)
{
    if (action != AccessibilityAction::Press || part >= 0)
        return false;
    for (View* ancestor = superview(); ancestor; ancestor = ancestor->superview())
        if (auto* table = dynamic_cast<TableView*>(ancestor))
            return table->chooseRowOfCell(*this);
    return false;
}

void TableViewCell::setHighlighted(bool highlighted, bool animated)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    updateSelectionLook(animated);
}

void TableViewCell::setEditing(bool editing, bool animated)
{
    if (editing == m_editing)
        return;
    m_editing = editing;
    if (!editing)
        m_showingDeleteConfirmation = false;
    layoutAnimated(animated);
}

void TableViewCell::setShowingDeleteConfirmation(bool showing, bool animated)
{
    if (showing == m_showingDeleteConfirmation)
        return;
    m_showingDeleteConfirmation = showing;
    layoutAnimated(animated);
}

void TableViewCell::setEditingHandlers(std::function<void(TableViewCell&)> onDeleteControl, std::function<void(TableViewCell&)> onDelete)
{
    m_onDeleteControl = std::move(onDeleteControl);
    m_onDelete = std::move(onDelete);
}

void TableViewCell::setPosition(Position position)
{
    if (position == m_position)
        return;
    m_position = position;
    m_selectionImageSize = {};
    updateSelectionLook(false);
    setNeedsDisplay();
}

void TableViewCell::layoutAnimated(bool animated)
{
    if (!animated) {
        setNeedsLayout();
        return;
    }
    View::beginAnimations();
    View::setAnimationDuration(kAnimationDuration);
    layoutSubviews();
    View::commitAnimations();
}

void TableViewCell::updateAccessoryImage()
{
    m_accessoryView->setImage(accessoryImage(m_accessoryType, showsSelection()));
}

void TableViewCell::updateSelectionLook(bool animated)
{
    const bool shows = showsSelection();
    m_textLabel->setHighlighted(shows);
    updateAccessoryImage();
    const gfx::Size size = bounds().size;
    if (shows && size != m_selectionImageSize && size.width > 0 && size.height > 0) {
        m_selectionImageSize = size;
        const bool blue = m_selectionStyle != TableViewCellSelectionStyle::Gray;
        const std::vector<gfx::Color> colors = blue ? std::vector { gfx::Color::rgba(0.02f, 0.55f, 0.96f), gfx::Color::rgba(0.0f, 0.37f, 0.9f) }
                                                    : std::vector { gfx::Color::grey(0.86f), gfx::Color::grey(0.7f) };
        if (m_position == Position::Plain) {
            // One column, stretched across whatever width the row has.
            m_selectionView->setImage(picture(blue ? Picture::SelectionBlue : Picture::SelectionGray, { 1, size.height }, 0,
                [&](gfx::Context& c) { fillVerticalGradient(c, gfx::Rect(0, 0, 1, size.height), colors); }));
        } else {
            const gfx::Path shape = backgroundPath(gfx::Rect({}, size));
            m_selectionView->setImage(picture(blue ? Picture::SelectionBlue : Picture::SelectionGray, size, 1 + int(m_position),
                [&](gfx::Context& c) { fillVerticalGradient(c, gfx::Rect({}, size), colors, shape); }));
        }
    }
    if (animated && !shows) {
        View::beginAnimations();
        View::setAnimationDuration(kAnimationDuration);
        m_selectionView->setAlpha(0);
        View::commitAnimations();
    } else {
        m_selectionView->setAlpha(shows ? 1 : 0);
    }
}

void TableViewCell::layoutSubviews()
{
    const gfx::Rect b = bounds();
    const bool deletable = m_editing && m_editingStyle != TableViewCellEditingStyle::None;
    const float indent = deletable ? kEditingIndent : 0;
    const bool accessoryShown = m_accessoryType != TableViewCellAccessoryType::None && !(m_editing && m_hidesAccessoryWhenEditing) && !m_showingDeleteConfirmation;

    float right = b.width();
    if (auto accessory = m_accessoryView->image()) {
        const gfx::Size size = accessory->size();
        m_accessoryView->setFrame(gfx::Rect(b.width() - kAccessoryMargin - size.width, std::round((b.height() - size.height) / 2), size.width, size.height));
        if (accessoryShown)
            right = m_accessoryView->frame().minX() - 5;
    }
    m_accessoryView->setAlpha(accessoryShown ? 1 : 0);

    m_deleteButton->setFrame(gfx::Rect(b.width() - kAccessoryMargin - kDeleteButtonWidth, std::round((b.height() - kDeleteButtonHeight) / 2), kDeleteButtonWidth, kDeleteButtonHeight));
    m_deleteButton->setAlpha(m_showingDeleteConfirmation ? 1 : 0);
    if (m_showingDeleteConfirmation)
        right = m_deleteButton->frame().minX() - 5;

    // The delete control slides in from the left edge with the content and turns upright
    // while the Delete button shows.
    m_deleteControl->setFrame(gfx::Rect(indent - kEditingIndent + 2, std::round((b.height() - 29) / 2), 29, 29));
    m_deleteControl->setAlpha(m_editing && m_editingStyle == TableViewCellEditingStyle::Delete ? 1 : 0);
    m_deleteControl->setTransform(m_editing && m_showingDeleteConfirmation ? gfx::AffineTransform::makeRotation(-std::numbers::pi_v<float> / 2) : gfx::AffineTransform());

    m_contentView->setFrame(gfx::Rect(indent, 0, std::max(0.0f, right - indent), b.height()));
    m_selectionView->setFrame(b);
    if (showsSelection() && b.size != m_selectionImageSize)
        updateSelectionLook(false);

    const gfx::Rect content = m_contentView->bounds();
    float textX = kContentMargin;
    if (auto image = m_imageView->image()) {
        const gfx::Size size = image->size();
        m_imageView->setFrame(gfx::Rect(kContentMargin, std::round((content.height() - size.height) / 2), size.width, size.height));
        textX += size.width + kContentMargin;
    } else {
        m_imageView->setFrame({});
    }
    m_textLabel->setFrame(gfx::Rect(textX, 0, std::max(0.0f, content.width() - textX - kContentMargin), content.height()));
}

gfx::Path TableViewCell::backgroundPath(const gfx::Rect& rect) const
{
    const bool roundTop = m_position == Position::Top || m_position == Position::Single;
    const bool roundBottom = m_position == Position::Bottom || m_position == Position::Single;
    const float r = std::min(kGroupedRadius, std::min(rect.width(), rect.height()) / 2);
    const float pi = std::numbers::pi_v<float>;
    gfx::Path path;
    if (roundTop) {
        path.moveTo({ rect.minX(), rect.minY() + r });
        path.addArc({ rect.minX() + r, rect.minY() + r }, r, pi, pi * 1.5f, false);
        path.addArc({ rect.maxX() - r, rect.minY() + r }, r, -pi / 2, 0, false);
    } else {
        path.moveTo({ rect.minX(), rect.minY() });
        path.lineTo({ rect.maxX(), rect.minY() });
    }
    if (roundBottom) {
        path.addArc({ rect.maxX() - r, rect.maxY() - r }, r, 0, pi / 2, false);
        path.addArc({ rect.minX() + r, rect.maxY() - r }, r, pi / 2, pi, false);
    } else {
        path.lineTo({ rect.maxX(), rect.maxY() });
        path.lineTo({ rect.minX(), rect.maxY() });
    }
    path.closeSubpath();
    return path;
}

void TableViewCell::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    if (m_position == Position::Plain) {
        context.fillRect(gfx::Rect(b.minX(), b.maxY() - 1, b.width(), 1), kSeparatorColor);
        return;
    }
    // The border is the outer shape; the white inside leaves a line at the bottom of every
    // row (the separator) and around the section's outside.
    context.fillPath(backgroundPath(b), kGroupedBorderColor);
    const bool top = m_position == Position::Top || m_position == Position::Single;
    const gfx::Rect inner(b.minX() + 1, b.minY() + (top ? 1 : 0), b.width() - 2, b.height() - (top ? 2 : 1));
    context.fillPath(backgroundPath(inner), gfx::Color::white());
}

} // namespace ui
