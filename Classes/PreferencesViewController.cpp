#include "PreferencesViewController.h"

#include "HelperMethods.h"
#include "ParlivoAppDelegate.h"
#include "PreferencesTableViewCell.h"
#include "Recording.h"
#include "RecordingLibrary.h"
#include "TrashBinViewController.h"

#include "audio/Device.h"
#include "foundation/Bundle.h"
#include "foundation/Calendar.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "foundation/UserDefaults.h"
#include "ui/BarButtonItem.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/NavigationItem.h"
#include "ui/Switch.h"
#include "ui/TableView.h"

#include <cmath>
#include <sys/statvfs.h>

namespace {

enum class RowKind { Switch, Choice, Figure, EmptyTrash };

struct Row {
    const char* title;
    const char* key;
    RowKind kind;
};

struct Section {
    const char* header;
    std::vector<Row> rows;
};

// The whole screen, section by section: what each row is called, what it shows, what it does.
const std::vector<Section>& sections()
{
    static const std::vector<Section> all = {
        { "Preferences Recording",
            { { "Preference Sound Effects", "soundEffects", RowKind::Switch },
                { "Preference Record Timer", "recordTimer", RowKind::Switch },
                { "Preference Instant Record", "instantRecord", RowKind::Switch },
                { "Preference Sample Rate", "sampleRate", RowKind::Choice },
                { "Preference Save Option", "saveOption", RowKind::Choice } } },
        { "Preferences Lists",
            { { "Preference Show Images", "showImages", RowKind::Switch },
                { "Preference List Style", "listStyle", RowKind::Choice } } },
        { "Preferences Devices",
            { { "Preference Microphone", "microphoneDevice", RowKind::Choice },
                { "Preference Speaker", "speakerDevice", RowKind::Choice } } },
        { "Preferences Application",
            { { "Preference About Hidden", "aboutScreenHidden", RowKind::Switch },
                { "Preference Empty Trash", "emptyTrash", RowKind::Switch } } },
        { "Preferences Storage",
            { { "Storage Memos", "memos", RowKind::Figure },
                { "Storage Trash", "trash", RowKind::Figure },
                { "Storage Free", "free", RowKind::Figure },
                { "Empty Trash", "emptyTrashNow", RowKind::EmptyTrash } } },
    };
    return all;
}

const Row* rowAt(const ui::IndexPath& indexPath)
{
    const auto& all = sections();
    if (indexPath.section < 0 || size_t(indexPath.section) >= all.size())
        return nullptr;
    const auto& rows = all[size_t(indexPath.section)].rows;
    if (indexPath.row < 0 || size_t(indexPath.row) >= rows.size())
        return nullptr;
    return &rows[size_t(indexPath.row)];
}

// The rates a microphone takes that are worth offering, with what each is good for.
const std::vector<std::pair<const char*, const char*>> kSampleRates = {
    { "8000", "Sample Rate Telephone" },
    { "16000", "Sample Rate Speech" },
    { "22050", "Sample Rate Standard" },
    { "44100", "Sample Rate CD" },
    { "48000", "Sample Rate Studio" },
};

// The devices last listed, so that a row can name the chosen one without asking the server.
std::vector<audio::DeviceDescription>& listedDevices(bool input)
{
    static std::vector<audio::DeviceDescription> inputs;
    static std::vector<audio::DeviceDescription> outputs;
    return input ? inputs : outputs;
}

bool isDeviceKey(const std::string& key)
{
    return key == "microphoneDevice" || key == "speakerDevice";
}

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

constexpr float kFooterMargin = 20;
constexpr float kFooterFontSize = 14;

} // namespace

std::shared_ptr<PreferencesViewController> PreferencesViewController::create(std::weak_ptr<TrashBinViewController> trashBin)
{
    return std::make_shared<PreferencesViewController>(std::move(trashBin));
}

PreferencesViewController::PreferencesViewController(std::weak_ptr<TrashBinViewController> trashBin)
    : TableViewController(ui::TableViewStyle::Grouped)
    , m_trashBin(std::move(trashBin))
{
    setTitle(text("Preferences"));
    auto& center = foundation::NotificationCenter::defaultCenter();
    auto refresh = [this](const foundation::Notification&) {
        reloadFigures();
        if (isViewLoaded())
            tableView()->reloadData();
    };
    center.addObserver(this, PRLVNotificationRecordingSaved, nullptr, refresh);
    center.addObserver(this, PRLVNotificationRecordingDeleted, nullptr, refresh);
    reloadFigures();
}

PreferencesViewController::~PreferencesViewController()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

PreferencesViewController::StorageFigures PreferencesViewController::storageFigures()
{
    StorageFigures figures;
    for (const auto& recording : RecordingLibrary::sharedLibrary().recordings()) {
        if (recording->location() != 1 && recording->location() != 2)
            continue;
        const std::uint64_t size = HelperMethods::getAudioFileSize(recording->audioFileName());
        figures.memos += size;
        if (recording->location() == 2) {
            figures.trash += size;
            ++figures.trashCount;
        }
    }
    const std::string documents = foundation::documentsDirectory();
    figures.memos += foundation::fileSize(documents + "/parlivodb.sql").value_or(0);
    struct statvfs disk {};
    if (::statvfs(documents.c_str(), &disk) == 0)
        figures.freeSpace = std::uint64_t(disk.f_bavail) * disk.f_frsize;
    return figures;
}

std::string PreferencesViewController::formattedStorageSize(std::uint64_t bytes)
{
    constexpr std::uint64_t kGigabyte = std::uint64_t(1) << 30;
    if (bytes < kGigabyte)
        return HelperMethods::formattedSize(bytes);
    return foundation::formatWithString("%@ GB", foundation::formatNumber(double(bytes) / double(kGigabyte), 1, 1));
}

std::vector<PreferencesChoiceViewController::Choice> PreferencesViewController::choicesForKey(const std::string& key)
{
    const std::string current = foundation::UserDefaults::standardUserDefaults().stringForKey(key).value_or("");
    std::vector<PreferencesChoiceViewController::Choice> choices;
    if (key == "sampleRate") {
        for (const auto& [rate, words] : kSampleRates)
            choices.push_back({ rate, text(words) });
    } else if (key == "listStyle") {
        choices = { { "grouped", text("List Style Grouped") }, { "plain", text("List Style Plain") } };
    } else if (key == "saveOption") {
        choices = { { "titleEditor", text("Save Option Title") }, { "autoSave", text("Save Option Auto") },
            { "detailsEditor", text("Save Option Details") } };
    } else if (isDeviceKey(key)) {
        const bool input = key == "microphoneDevice";
        choices.push_back({ "", text("Device Follow System") });
        auto devices = audio::currentDevice()->namedDevices(input);
        listedDevices(input) = devices;
        for (const auto& device : devices) {
            // Only names the settings can hold: the store would refuse any other.
            if (!ParlivoAppDelegate::settingValueProblem(key, device.name))
                choices.push_back({ device.name, device.description.empty() ? device.name : device.description });
        }
    }
    bool listed = false;
    for (const auto& choice : choices)
        listed = listed || choice.first == current;
    if (!listed && !choices.empty())
        choices.push_back({ current, wordsForValue(key, current) });
    return choices;
}

std::string PreferencesViewController::wordsForValue(const std::string& key, const std::string& value)
{
    if (key == "sampleRate") {
        for (const auto& [rate, words] : kSampleRates) {
            if (value == rate)
                return text(words);
        }
        return foundation::formatWithString(text("Sample Rate Other"), foundation::formatNumber(HelperMethods::sampleRateFromSetting(value).value_or(0), 0, 0));
    }
    if (key == "listStyle")
        return text(value == "grouped" ? "List Style Grouped" : "List Style Plain");
    if (key == "saveOption") {
        // What the studio does with the value: anything but the two named ones opens the editor.
        if (value == "titleEditor")
            return text("Save Option Title");
        return text(value == "autoSave" ? "Save Option Auto" : "Save Option Details");
    }
    if (isDeviceKey(key)) {
        if (value.empty())
            return text("Device Follow System");
        for (const auto& device : listedDevices(key == "microphoneDevice")) {
            if (device.name == value && !device.description.empty())
                return device.description;
        }
        return value;
    }
    return value;
}

void PreferencesViewController::loadView()
{
    TableViewController::loadView();
    auto table = tableView();
    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle(text("Done"), ui::BarButtonItemStyle::Done, [this](ui::BarButtonItem&) { doneButtonPressed(); }));

    const float width = table->bounds().width();
    const gfx::Font font = gfx::Font::systemFont(kFooterFontSize);
    const std::string footer = text("Preferences Footer");
    const auto lines = font.layoutText(footer, width - 2 * kFooterMargin, gfx::LineBreakMode::WordWrap);
    const float height = std::ceil(float(lines.size()) * font.lineHeight()) + 4;
    auto container = std::make_shared<ui::View>(gfx::Rect(0, 0, width, height + kFooterMargin));
    container->setBackgroundColor(gfx::Color::clear());
    m_footerLabel = std::make_shared<ui::Label>(gfx::Rect(kFooterMargin, 0, width - 2 * kFooterMargin, height));
    m_footerLabel->setText(footer);
    m_footerLabel->setFont(font);
    m_footerLabel->setTextColor(gfx::Color::rgba(0.3f, 0.34f, 0.42f));
    m_footerLabel->setShadowColor(gfx::Color::white());
    m_footerLabel->setShadowOffset({ 0, 1 });
    m_footerLabel->setBackgroundColor(gfx::Color::clear());
    m_footerLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_footerLabel->setNumberOfLines(0);
    m_footerLabel->setLineBreakMode(gfx::LineBreakMode::WordWrap);
    m_footerLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    container->addSubview(m_footerLabel);
    table->setTableFooterView(container);
}

void PreferencesViewController::viewWillAppear(bool animated)
{
    reloadFigures();
    tableView()->reloadData();
    TableViewController::viewWillAppear(animated);
}

void PreferencesViewController::reloadFigures()
{
    m_figures = storageFigures();
}

int PreferencesViewController::numberOfSectionsInTableView(ui::TableView&)
{
    return int(sections().size());
}

int PreferencesViewController::tableViewNumberOfRowsInSection(ui::TableView&, int section)
{
    return section >= 0 && size_t(section) < sections().size() ? int(sections()[size_t(section)].rows.size()) : 0;
}

std::optional<std::string> PreferencesViewController::tableViewTitleForHeaderInSection(ui::TableView&, int section)
{
    if (section < 0 || size_t(section) >= sections().size())
        return std::nullopt;
    return text(sections()[size_t(section)].header);
}

std::shared_ptr<ui::TableViewCell> PreferencesViewController::tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    const Row* row = rowAt(indexPath);
    const bool isSwitch = row && row->kind == RowKind::Switch;
    const std::string identifier = isSwitch ? "PreferencesSwitchCell" : "PreferencesDetailCell";
    auto cell = std::dynamic_pointer_cast<PreferencesTableViewCell>(tableView.dequeueReusableCellWithIdentifier(identifier));
    if (!cell)
        cell = std::make_shared<PreferencesTableViewCell>(identifier, isSwitch ? PreferencesTableViewCell::Accessory::Switch : PreferencesTableViewCell::Accessory::Detail);
    if (!row)
        return cell;
    cell->setText(text(row->title));
    cell->textLabel().setTextColor(gfx::Color::black());
    cell->setAccessoryType(row->kind == RowKind::Choice ? ui::TableViewCellAccessoryType::DisclosureIndicator : ui::TableViewCellAccessoryType::None);
    cell->setSelectionStyle(row->kind == RowKind::Choice || row->kind == RowKind::EmptyTrash ? ui::TableViewCellSelectionStyle::Blue
                                                                                            : ui::TableViewCellSelectionStyle::None);
    const std::string key = row->key;
    auto& defaults = foundation::UserDefaults::standardUserDefaults();
    switch (row->kind) {
    case RowKind::Switch: {
        auto& control = *cell->switchControl();
        control.setOn(defaults.boolForKey(key));
        control.removeTargetForControlEvents(this, ui::ControlEventValueChanged);
        control.addTargetActionForControlEvents(this, [this, key](ui::Control& sender) { switchChanged(key, static_cast<ui::Switch&>(sender)); },
            ui::ControlEventValueChanged);
        break;
    }
    case RowKind::Choice:
        cell->detailLabel()->setText(wordsForValue(key, defaults.stringForKey(key).value_or("")));
        break;
    case RowKind::Figure:
        if (key == "memos")
            cell->detailLabel()->setText(formattedStorageSize(m_figures.memos));
        else if (key == "trash")
            cell->detailLabel()->setText(formattedStorageSize(m_figures.trash));
        else
            cell->detailLabel()->setText(m_figures.freeSpace ? formattedStorageSize(*m_figures.freeSpace) : text("Storage Unknown"));
        break;
    case RowKind::EmptyTrash:
        cell->detailLabel()->setText("");
        // Nothing to empty: the row stands grey and does nothing.
        if (m_figures.trashCount == 0) {
            cell->textLabel().setTextColor(gfx::Color::grey(0.6f));
            cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        } else
            cell->textLabel().setTextColor(gfx::Color::rgba(0.8f, 0.1f, 0.1f));
        break;
    }
    cell->setNeedsLayout();
    return cell;
}

bool PreferencesViewController::tableViewCanEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return false;
}

void PreferencesViewController::tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    const Row* row = rowAt(indexPath);
    tableView.deselectRowAtIndexPath(indexPath, true);
    if (!row)
        return;
    if (row->kind == RowKind::Choice)
        showChoicesForKey(row->key);
    else if (row->kind == RowKind::EmptyTrash)
        emptyTrashButtonPressed();
}

std::optional<ui::IndexPath> PreferencesViewController::indexPathForKey(const std::string& key)
{
    const auto& all = sections();
    for (size_t s = 0; s < all.size(); ++s) {
        for (size_t r = 0; r < all[s].rows.size(); ++r) {
            if (all[s].rows[r].key == key)
                return ui::IndexPath { int(s), int(r) };
        }
    }
    return std::nullopt;
}

void PreferencesViewController::switchChanged(const std::string& key, ui::Switch& control)
{
    if (auto problem = ParlivoAppDelegate::storeSetting(key, control.isOn() ? "Yes" : "NO")) {
        foundation::logf("Preference not stored: %s", problem->c_str());
        control.setOn(foundation::UserDefaults::standardUserDefaults().boolForKey(key));
    }
}

void PreferencesViewController::showChoicesForKey(const std::string& key)
{
    const auto indexPath = indexPathForKey(key);
    if (!indexPath)
        return;
    m_choiceScreen = std::make_shared<PreferencesChoiceViewController>(text(rowAt(*indexPath)->title), key, choicesForKey(key));
    if (auto* navigation = navigationController())
        navigation->pushViewController(m_choiceScreen, true);
}

void PreferencesViewController::emptyTrashButtonPressed()
{
    auto trash = m_trashBin.lock();
    if (!trash || m_figures.trashCount == 0)
        return;
    trash->showEmptyTrashConfirmationInView(*view());
}

void PreferencesViewController::doneButtonPressed()
{
    dismissModalViewControllerAnimated(true);
}

bool PreferencesViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

void PreferencesViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  Preferences");
    TableViewController::didReceiveMemoryWarning();
}
