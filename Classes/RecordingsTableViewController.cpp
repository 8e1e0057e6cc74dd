#include "RecordingsTableViewController.h"

#include "AudioQueueObject.h"
#include "HelperMethods.h"
#include "PlaybackViewController.h"
#include "Recording.h"
#include "RecordingLibrary.h"
#include "RecordingTableViewCell.h"

#include "foundation/NotificationCenter.h"
#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"
#include "ui/NavigationController.h"

#include <algorithm>

std::shared_ptr<RecordingsTableViewController> RecordingsTableViewController::create(ui::TableViewStyle style, std::int32_t location, std::optional<std::string> category)
{
    return std::make_shared<RecordingsTableViewController>(style, location, std::move(category));
}

RecordingsTableViewController::RecordingsTableViewController(ui::TableViewStyle style, std::int32_t location, std::optional<std::string> category)
    : TableViewController(style)
    , m_displayedLocation(location)
    , m_displayedCategory(std::move(category))
{
    reloadDataStructures();
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationRecordingSaved, nullptr,
        [this](const foundation::Notification& notification) { recordingSaved(notification.objectAs<Recording>()); });
    center.addObserver(this, PRLVNotificationRecordingDeleted, nullptr,
        [this](const foundation::Notification& notification) { recordingDeleted(notification.objectAs<Recording>()); });
}

RecordingsTableViewController::~RecordingsTableViewController()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_player)
        m_player->setDataSource(nullptr);
}

ui::TableViewStyle RecordingsTableViewController::tableStyleFromSettings()
{
    const auto value = foundation::UserDefaults::standardUserDefaults().stringForKey("listStyle");
    return value == "grouped" ? ui::TableViewStyle::Grouped : ui::TableViewStyle::Plain;
}

void RecordingsTableViewController::reloadDataStructures()
{
    m_data.clear();
    m_sortedDataGroups.clear();
    m_members.clear();

    // Only members are sorted: the order among them is the same as in a sort of all.
    std::vector<std::shared_ptr<Recording>> sorted;
    for (const auto& recording : RecordingLibrary::sharedLibrary().recordings())
        if (recordingBelongsInTable(recording.get()))
            sorted.push_back(recording);
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a->createdDate() > b->createdDate(); });

    HelperMethods::SimpleDateSections sections;
    std::vector<std::shared_ptr<Recording>>* current = nullptr;
    std::string currentTitle;
    for (auto& recording : sorted) {
        std::string title = sections.titleForDate(recording->createdDate());
        // Sorted rows mostly continue the section before; look up only when the title changes.
        if (!current || title != currentTitle) {
            auto [it, inserted] = m_data.try_emplace(title);
            if (inserted)
                m_sortedDataGroups.push_back(title);
            current = &it->second;
            currentTitle = std::move(title);
        }
        m_members.insert(recording.get());
        current->push_back(std::move(recording));
    }
}

bool RecordingsTableViewController::recordingIsInTable(const Recording* recording) const
{
    return recording && m_members.contains(recording);
}

bool RecordingsTableViewController::recordingBelongsInTable(const Recording* recording) const
{
    if (!recording || recording->location() != m_displayedLocation)
        return false;
    return !m_displayedCategory || recording->category() == *m_displayedCategory;
}

std::shared_ptr<Recording> RecordingsTableViewController::recordingForIndexPath(const ui::IndexPath& indexPath) const
{
    const std::string* title = answeredTitle(indexPath.section);
    if (!title || indexPath.row < 0)
        return nullptr;
    auto it = m_data.find(*title);
    if (it == m_data.end() || size_t(indexPath.row) >= it->second.size())
        return nullptr;
    return it->second[size_t(indexPath.row)];
}

int RecordingsTableViewController::getCount() const
{
    return int(m_members.size());
}

std::shared_ptr<Recording> RecordingsTableViewController::recordingBefore(const std::shared_ptr<Recording>& recording)
{
    if (!recordingIsInTable(recording.get()))
        return nullptr;
    std::shared_ptr<Recording> previous;
    for (const auto& title : m_sortedDataGroups) {
        for (const auto& listed : m_data.at(title)) {
            if (listed == recording)
                return previous;
            previous = listed;
        }
    }
    return nullptr;
}

std::shared_ptr<Recording> RecordingsTableViewController::recordingAfter(const std::shared_ptr<Recording>& recording)
{
    if (!recordingIsInTable(recording.get()))
        return nullptr;
    bool found = false;
    for (const auto& title : m_sortedDataGroups) {
        for (const auto& listed : m_data.at(title)) {
            if (found)
                return listed;
            found = listed == recording;
        }
    }
    return nullptr;
}

void RecordingsTableViewController::loadView()
{
    TableViewController::loadView();
    m_player = std::make_shared<PlaybackViewController>();
    m_player->setDataSource(this);
    tableView()->setRowHeight(RecordingTableViewCell::preferredRowHeight());
    navigationItem()->setRightBarButtonItem(editButtonItem(), false);
    tableView()->setEmptyText(foundation::localizedString(m_displayedLocation == 2 ? "The Trash Is Empty" : "No Recordings"));
}

void RecordingsTableViewController::viewWillAppear(bool animated)
{
    // The chosen row's highlight fades as the list shows again; when the chosen memo has left
    // the row (moved to the Trash, say), it goes at once rather than fade on its neighbour.
    auto table = tableView();
    if (auto selected = table->indexPathForSelectedRow(); selected && (!m_player || recordingForIndexPath(*selected) != m_player->currentRecording()))
        table->deselectRowAtIndexPath(*selected, false);
    table->reloadData();
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationAudioQueueDidStart, nullptr, [this](const foundation::Notification&) { audioDidStart(); });
    center.addObserver(this, PRLVNotificationAudioQueueDidStop, nullptr, [this](const foundation::Notification&) { audioDidStop(); });
    TableViewController::viewWillAppear(animated);
}

void RecordingsTableViewController::viewWillDisappear(bool animated)
{
    setEditing(false, false);
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.removeObserver(this, PRLVNotificationAudioQueueDidStart, nullptr);
    center.removeObserver(this, PRLVNotificationAudioQueueDidStop, nullptr);
    TableViewController::viewWillDisappear(animated);
}

void RecordingsTableViewController::audioDidStart()
{
    if (auto table = tableView())
        table->reloadData();
}

void RecordingsTableViewController::audioDidStop()
{
    if (auto table = tableView())
        table->reloadData();
}

const std::string* RecordingsTableViewController::answeredTitle(int section) const
{
    if (m_sectionsDuringDeletion) {
        if (section < 0 || size_t(section) >= m_sectionsDuringDeletion->size())
            return nullptr;
        return &(*m_sectionsDuringDeletion)[size_t(section)].title;
    }
    if (section < 0 || size_t(section) >= m_sortedDataGroups.size())
        return nullptr;
    return &m_sortedDataGroups[size_t(section)];
}

int RecordingsTableViewController::answeredRows(int section) const
{
    if (m_sectionsDuringDeletion) {
        if (section < 0 || size_t(section) >= m_sectionsDuringDeletion->size())
            return 0;
        return (*m_sectionsDuringDeletion)[size_t(section)].rows;
    }
    const std::string* title = answeredTitle(section);
    return title ? int(m_data.at(*title).size()) : 0;
}

std::vector<RecordingsTableViewController::ShownSection> RecordingsTableViewController::shownSections() const
{
    std::vector<ShownSection> sections;
    sections.reserve(m_sortedDataGroups.size());
    for (const auto& title : m_sortedDataGroups)
        sections.push_back({ title, int(m_data.at(title).size()) });
    return sections;
}

int RecordingsTableViewController::numberOfSectionsInTableView(ui::TableView&)
{
    // An empty list is one empty section.
    const size_t count = m_sectionsDuringDeletion ? m_sectionsDuringDeletion->size() : m_sortedDataGroups.size();
    return std::max(1, int(count));
}

int RecordingsTableViewController::tableViewNumberOfRowsInSection(ui::TableView&, int section)
{
    return answeredRows(section);
}

std::optional<std::string> RecordingsTableViewController::tableViewTitleForHeaderInSection(ui::TableView&, int section)
{
    const std::string* title = answeredTitle(section);
    if (!title)
        return std::nullopt;
    return *title;
}

std::shared_ptr<ui::TableViewCell> RecordingsTableViewController::tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath)
{
    auto cell = std::dynamic_pointer_cast<RecordingTableViewCell>(tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell)
        cell = std::make_shared<RecordingTableViewCell>(gfx::Rect(), kCellIdentifier, tableView.style(), !m_displayedCategory.has_value());
    cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    cell->setDisplayedRecording(recordingForIndexPath(indexPath));
    return cell;
}

void RecordingsTableViewController::tableViewDidSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath)
{
    auto recording = recordingForIndexPath(indexPath);
    if (!recording || !m_player)
        return;
    // The recording the screen holds already keeps its playback state.
    if (recording != m_player->currentRecording())
        m_player->setCurrentRecording(recording);
    if (auto* navigation = navigationController())
        navigation->pushViewController(m_player, true);
}

void RecordingsTableViewController::tableViewCommitEditingStyleForRowAtIndexPath(ui::TableView& tableView, ui::TableViewCellEditingStyle style, const ui::IndexPath& indexPath)
{
    if (style != ui::TableViewCellEditingStyle::Delete)
        return;
    auto recording = recordingForIndexPath(indexPath);
    if (!recording) {
        tableView.reloadData();
        return;
    }
    auto before = shownSections();
    // Either way this list hears of it and rebuilds before the calls return.
    if (recording->location() != 2) {
        recording->setLocation(2);
        recording->save();
    } else
        recording->deleteRecording();
    slideOutRow(tableView, indexPath, std::move(before));
    tableView.reloadData();
}

void RecordingsTableViewController::slideOutRow(ui::TableView& tableView, const ui::IndexPath& indexPath, std::vector<ShownSection> before)
{
    if (size_t(indexPath.section) >= before.size())
        return;
    // What the table should see once the row is gone.
    auto expected = before;
    --expected[size_t(indexPath.section)].rows;
    const auto now = shownSections();
    if (now == expected) {
        tableView.deleteRowsAtIndexPaths({ indexPath }, ui::TableViewRowAnimation::Right);
        return;
    }
    // The row was its section's last: the table cannot drop a section while the row slides,
    // so it is told of the section emptied first; the reload after takes the section away
    // and lets the row finish leaving.
    auto withoutSection = expected;
    withoutSection.erase(withoutSection.begin() + indexPath.section);
    if (expected[size_t(indexPath.section)].rows == 0 && now == withoutSection) {
        m_sectionsDuringDeletion = std::move(expected);
        tableView.deleteRowsAtIndexPaths({ indexPath }, ui::TableViewRowAnimation::Right);
        m_sectionsDuringDeletion.reset();
    }
    // Anything else (the save failed, the day changed meanwhile) is left to the reload.
}

void RecordingsTableViewController::recordingSaved(const Recording* recording)
{
    // An edited title or comment shows at the next reload; only membership changes rebuild.
    if (recordingIsInTable(recording) != recordingBelongsInTable(recording))
        reloadDataStructures();
}

void RecordingsTableViewController::recordingDeleted(const Recording* recording)
{
    if (recordingIsInTable(recording))
        reloadDataStructures();
}
