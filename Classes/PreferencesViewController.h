#pragma once

#include "PreferencesChoiceViewController.h"

#include "ui/TableViewController.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TrashBinViewController;

namespace ui {
class Label;
class Switch;
}

/// The Preferences screen: every setting a person may change, in a grouped table. A switch
/// for each Yes/No setting, a row per choice setting that opens its choices (named in words),
/// the microphone and speaker the sound server lists, what the memos take on disk with Empty
/// Trash, and a footer saying which changes wait for the next start.
///
/// Values are stored through the settings' own checks (ParlivoAppDelegate::storeSetting), the
/// same as `parlivo defaults write`; a value the store refuses turns the switch back. Empty
/// Trash asks through the Trash screen's own confirmation and deletes with its code. The
/// figures are read again whenever a memo is saved or deleted. Main thread only.
class PreferencesViewController : public ui::TableViewController {
public:
    /// The sizes shown under Storage, in bytes.
    struct StorageFigures {
        /// The audio of every memo in My Recordings and the Trash, and the database.
        std::uint64_t memos { 0 };
        /// The audio of the memos in the Trash.
        std::uint64_t trash { 0 };
        std::uint64_t trashCount { 0 };
        /// Free to this user where the memos live; none when the system does not say.
        std::optional<std::uint64_t> freeSpace;
    };

    static std::shared_ptr<PreferencesViewController> create(std::weak_ptr<TrashBinViewController> trashBin);
    explicit PreferencesViewController(std::weak_ptr<TrashBinViewController> trashBin);
    ~PreferencesViewController() override;

    /// What the library takes now.
    static StorageFigures storageFigures();
    /// A size as the Storage rows show it ("512 KB", "403.2 MB", "51.3 GB").
    static std::string formattedStorageSize(std::uint64_t bytes);
    /// The choices of a choice setting, each a stored value and its words; the value stored
    /// now is among them even when it is none of the usual ones.
    static std::vector<PreferencesChoiceViewController::Choice> choicesForKey(const std::string& key);
    /// The words a choice setting's value is shown in.
    static std::string wordsForValue(const std::string& key, const std::string& value);

    void loadView() override;
    void viewWillAppear(bool animated) override;

    int numberOfSectionsInTableView(ui::TableView& tableView) override;
    int tableViewNumberOfRowsInSection(ui::TableView& tableView, int section) override;
    std::optional<std::string> tableViewTitleForHeaderInSection(ui::TableView& tableView, int section) override;
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    bool tableViewCanEditRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    void tableViewDidSelectRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;
    void didReceiveMemoryWarning() override;

    /// The row of a setting's key, or of "memos", "trash", "free" and "emptyTrashNow"; none
    /// for a key the screen does not show.
    static std::optional<ui::IndexPath> indexPathForKey(const std::string& key);
    /// Stores a switch's setting as it now stands.
    void switchChanged(const std::string& key, ui::Switch& control);
    /// Opens the choices of a choice setting.
    void showChoicesForKey(const std::string& key);
    /// Asks, with the Trash screen's confirmation, whether to empty the Trash.
    void emptyTrashButtonPressed();
    /// Closes the screen (the Done button).
    void doneButtonPressed();

    const StorageFigures& shownFigures() const { return m_figures; }
    /// The choices screen opened last, or null.
    const std::shared_ptr<PreferencesChoiceViewController>& choiceScreen() const { return m_choiceScreen; }
    const std::shared_ptr<ui::Label>& footerLabel() const { return m_footerLabel; }

private:
    void reloadFigures();

    std::weak_ptr<TrashBinViewController> m_trashBin;
    StorageFigures m_figures;
    std::shared_ptr<PreferencesChoiceViewController> m_choiceScreen;
    std::shared_ptr<ui::Label> m_footerLabel;
};
