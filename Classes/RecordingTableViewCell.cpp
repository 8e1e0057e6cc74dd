#include "RecordingTableViewCell.h"

#include "HelperMethods.h"
#include "Recording.h"

#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/TableView.h"

#include <algorithm>
#include <cmath>

namespace {

// The title's width by table style (plain, grouped) and by whether a photo takes the right.
float titleWidth(ui::TableViewStyle style, bool showImages)
{
    const bool grouped = style == ui::TableViewStyle::Grouped;
    if (showImages)
        return grouped ? 120 : 140;
    return grouped ? 165 : 185;
}

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, const gfx::Font& font, gfx::Color colour, gfx::TextAlignment alignment)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(font);
    label->setTextColor(colour);
    label->setHighlightedTextColor(gfx::Color::white());
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextAlignment(alignment);
    return label;
}

const gfx::Color kBlue = gfx::Color::rgba(0, 0, 1);

constexpr float kPhotoSide = 44;

} // namespace

RecordingTableViewCell::RecordingTableViewCell(const gfx::Rect& frame, const std::string& reuseIdentifier, ui::TableViewStyle style, bool showCategory)
    : TableViewCell(frame, reuseIdentifier)
    , m_showImages(foundation::UserDefaults::standardUserDefaults().boolForKey("showImages"))
    , m_showCategory(showCategory)
    , m_categoryLabelOffset(showCategory ? 5.0f : 0.0f)
{
    const float w = titleWidth(style, m_showImages);
    m_titleWidth = w;
    const float o = m_categoryLabelOffset;
    // The category's y is worked out in double precision and kept in single.
    const float categoryY = float(42.0 - (double(o) + 6.0));
    m_titleLabel = makeLabel({ 30, 14 - o, w, 28 }, gfx::Font::boldSystemFont(16), gfx::Color::black(), gfx::TextAlignment::Left);
    m_categoryLabel = makeLabel({ 30, categoryY, w, 14 }, gfx::Font::systemFont(12), gfx::Color::black(), gfx::TextAlignment::Left);
    m_lengthLabel = makeLabel({ w + 25, 14, 70, 14 }, gfx::Font::systemFont(12), kBlue, gfx::TextAlignment::Right);
    m_dateLabel = makeLabel({ w + 25, 28, 70, 14 }, gfx::Font::systemFont(12), kBlue, gfx::TextAlignment::Right);
    m_imageView = std::make_shared<ui::ImageView>(gfx::Rect { w + 100, 6, kPhotoSide, kPhotoSide });

    auto& content = contentView();
    content.addSubview(m_lengthLabel);
    content.addSubview(m_dateLabel);
    content.addSubview(m_titleLabel);
    content.addSubview(m_categoryLabel);
    content.addSubview(m_imageView);
}

RecordingTableViewCell::~RecordingTableViewCell() = default;

void RecordingTableViewCell::layoutSubviews()
{
    TableViewCell::layoutSubviews();
    const ui::View* table = superview();
    while (table && !dynamic_cast<const ui::TableView*>(table))
        table = table->superview();
    const float extra = table ? std::max(0.0f, table->bounds().width() - ui::Screen::kDesignSize.width) : 0;
    const float w = m_titleWidth + extra;
    auto place = [](ui::View& view, float x, float width) {
        const gfx::Rect f = view.frame();
        view.setFrame(gfx::Rect(x, f.minY(), width, f.height()));
    };
    place(*m_titleLabel, 30, w);
    place(*m_categoryLabel, 30, w);
    place(*m_lengthLabel, w + 25, 70);
    place(*m_dateLabel, w + 25, 70);
    place(*m_imageView, w + 100, kPhotoSide);
}

void RecordingTableViewCell::setDisplayedRecording(std::shared_ptr<Recording> recording)
{
    m_displayedRecording = std::move(recording);
    refreshImage();
    const Recording* shown = m_displayedRecording.get();
    m_titleLabel->setText(shown ? shown->title() : std::string());
    m_categoryLabel->setText(shown && m_showCategory ? shown->category() : std::string());
    m_lengthLabel->setText(shown ? HelperMethods::formattedPlayTimeValueForPosition(shown->length(), shown->length(), false) : std::string());
    m_dateLabel->setText(shown ? HelperMethods::formattedShortDate(shown->createdDate()) : std::string());
    setNeedsDisplay();
}

void RecordingTableViewCell::refreshImage()
{
    setImage(nullptr);
    if (m_displayedRecording && m_displayedRecording->playCount() < 1)
        setImage(ui::imageNamed("new.png"));
    if (!m_showImages)
        return;
    RecordingImage bytes = m_displayedRecording ? m_displayedRecording->image() : nullptr;
    // Every reload refills the rows in view: a photo already decoded here is not decoded again.
    if (bytes != m_photoBytes) {
        m_photoBytes = bytes;
        // At the row's pixels, whatever size the photo was stored at: a list of large
        // photos must not hold each one whole.
        m_photo = Recording::photoImage(bytes, int(std::ceil(kPhotoSide * ui::Screen::mainScreen().scale())));
    }
    m_imageView->setImage(m_photo ? m_photo : ui::imageNamed("recording_symbol_small.png"));
}

void RecordingTableViewCell::fillAccessibilityData(ui::AccessibilityData& data) const
{
    TableViewCell::fillAccessibilityData(data);
    data.name.clear();
    std::vector<std::string> parts;
    for (const auto& label : { m_titleLabel, m_categoryLabel, m_lengthLabel, m_dateLabel })
        if (!label->text().empty())
            parts.push_back(label->text());
    if (m_displayedRecording && m_displayedRecording->playCount() < 1)
        parts.push_back(foundation::localizedString("Unplayed Description"));
    for (const auto& part : parts)
        data.name += (data.name.empty() ? "" : ", ") + part;
}

void RecordingTableViewCell::setSelected(bool selected, bool animated)
{
    TableViewCell::setSelected(selected, animated);
    updateLabelHighlight();
}

void RecordingTableViewCell::setHighlighted(bool highlighted, bool animated)
{
    TableViewCell::setHighlighted(highlighted, animated);
    updateLabelHighlight();
}

void RecordingTableViewCell::updateLabelHighlight()
{
    // A finger resting on the row shows the selection's look, so the text turns white too.
    const bool white = isSelected() || isHighlighted();
    for (const auto& label : { m_titleLabel, m_categoryLabel, m_lengthLabel, m_dateLabel })
        label->setHighlighted(white);
}
