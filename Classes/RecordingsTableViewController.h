#pragma once

#include "RecordingDataSource.h"

#include "ui/TableViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class PlaybackViewController;
class Recording;

/// A list of the recordings of one location (1 = My Recordings, 2 = the trash), optionally
/// narrowed to one category, in sections by relative date ("Today", "Yesterday", ..., then by
/// year), newest first.
///
/// The sections are rebuilt from the library whenever a saved recording joins or leaves the
/// list and when a listed recording is deleted, for the list's whole life, on screen or not;
/// rebuilding never reloads the table (every appearance does). Choosing a row pushes the
/// list's playback screen, which steps through the list's order through recordingBefore and
/// recordingAfter. Deleting a row moves its recording to the trash, or out of the trash for
/// good. While on screen the table is reloaded when an audio queue starts or stops, so the
/// "new" markers follow playback.
///
/// Lives in std::shared_ptr (create()); it owns its playback screen. Main thread only,
/// notification handlers included.
class RecordingsTableViewController : public ui::TableViewController, public RecordingDataSource {
public:
    static constexpr const char* kCellIdentifier = "RecordingTableViewCell";

    /// A list of location narrowed to category (none: every category).
    static std::shared_ptr<RecordingsTableViewController> create(ui::TableViewStyle style, std::int32_t location, std::optional<std::string> category);
    RecordingsTableViewController(ui::TableViewStyle style, std::int32_t location, std::optional<std::string> category);
    ~RecordingsTableViewController() override;

    /// The table style the "listStyle" setting chooses: "grouped" is grouped, anything else plain.
    static ui::TableViewStyle tableStyleFromSettings();

    std::int32_t displayedLocation() const { return m_displayedLocation; }
    const std::optional<std::string>& displayedCategory() const { return m_displayedCategory; }
    /// The section titles in display order; each is a key of data().
    const std::vector<std::string>& sortedDataGroups() const { return m_sortedDataGroups; }
    const std::unordered_map<std::string, std::vector<std::shared_ptr<Recording>>>& data() const { return m_data; }
    /// The playback screen; null until the view loads.
    const std::shared_ptr<PlaybackViewController>& player() const { return m_player; }

    /// Rebuilds the sections from the library's recordings.
    void reloadDataStructures();
    /// Whether the list shows recording (as of the last rebuild).
    bool recordingIsInTable(const Recording* recording) const;
    /// Whether recording belongs in the list now: its location is the list's and, in a
    /// category's list, its category is that category exactly. False for null.
    bool recordingBelongsInTable(const Recording* recording) const;
    /// The recording of the row, or null when there is no such row.
    std::shared_ptr<Recording> recordingForIndexPath(const ui::IndexPath& indexPath) const;
    /// The number of recordings listed.
    int getCount() const;

    std::shared_ptr<Recording> recordingBefore(const std::shared_ptr<Recording>& recording) override;
    std::shared_ptr<Recording> recordingAfter(const std::shared_ptr<Recording>& recording) override;

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    int numberOfSectionsInTableView(ui::TableView& tableView) override;
    int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    /// Delete moves the row's recording to the trash, or deletes a trashed one for good, then
    /// slides the row out to the right and reloads the table.
    void tableViewCommitEditingStyleForRowAtIndexPath(ui::TableView& tableView, ui::TableViewCellEditingStyle style, const ui::IndexPath& indexPath) override;

    void recordingSaved(const Recording* recording);
    void recordingDeleted(const Recording* recording);
    void audioDidStart();
    void audioDidStop();

private:
    struct ShownSection {
        std::string title;
        int rows { 0 };
        friend bool operator==(const ShownSection&, const ShownSection&) = default;
    };
    /// The sections as the table is to be told them now.
    std::vector<ShownSection> shownSections() const;
    /// The title of a section as answered to the table; null when there is no such section.
    const std::string* answeredTitle(int section) const;
    int answeredRows(int section) const;
    void slideOutRow(ui::TableView& tableView, const ui::IndexPath& indexPath, std::vector<ShownSection> before);

    std::int32_t m_displayedLocation;
    std::optional<std::string> m_displayedCategory;
    std::unordered_map<std::string, std::vector<std::shared_ptr<Recording>>> m_data;
    std::vector<std::string> m_sortedDataGroups;
    /// The listed recordings, for membership questions without a walk through the sections.
    std::unordered_set<const Recording*> m_members;
    std::shared_ptr<PlaybackViewController> m_player;
    /// Set only inside a deletion whose row was the last of its section (see slideOutRow).
    std::optional<std::vector<ShownSection>> m_sectionsDuringDeletion;
};
