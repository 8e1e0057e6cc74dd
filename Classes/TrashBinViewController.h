#pragma once

#include "RecordingsTableViewController.h"

#include "ui/ActionSheet.h"

class SoundEffect;

namespace ui {
class BarButtonItem;
}

/// The Trash tab: every recording in the trash, with no swiping or editing of rows and an
/// "Empty" button that, once confirmed in an action sheet, deletes every listed recording
/// for good and plays the crumple sound. "Empty" is enabled on each appearance exactly when
/// the trash holds something, and disabled once emptied. Main thread only.
class TrashBinViewController : public RecordingsTableViewController, public ui::ActionSheetDelegate {
public:
    static std::shared_ptr<TrashBinViewController> create();
    TrashBinViewController();
    ~TrashBinViewController() override;

    const std::shared_ptr<ui::BarButtonItem>& emptyTrashBinButton() const { return m_emptyTrashBinButton; }
    const std::shared_ptr<SoundEffect>& crumpleSound() const { return m_crumpleSound; }
    /// The confirmation sheet while one is shown (or was last shown).
    const std::shared_ptr<ui::ActionSheet>& confirmationSheet() const { return m_confirmationSheet; }

    void loadView() override;
    void viewDidAppear(bool animated) override;
    bool tableViewCanEditRowAtIndexPath(ui::TableView& tableView, const ui::IndexPath& indexPath) override;

    /// Asks for confirmation in an action sheet over the screen.
    void emtpyTrashBinButtonPressed();
    /// The same confirmation over another screen's view (Preferences); its Delete empties the
    /// trash as the button's does.
    void showEmptyTrashConfirmationInView(ui::View& view);
    /// Index 0 (Delete) empties the trash; any other index does nothing.
    void actionSheetClickedButtonAtIndex(ui::ActionSheet& actionSheet, int buttonIndex) override;

    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;
    void didReceiveMemoryWarning() override;

private:
    void emptyTrashBin();

    std::shared_ptr<ui::BarButtonItem> m_emptyTrashBinButton;
    std::shared_ptr<SoundEffect> m_crumpleSound;
    std::shared_ptr<ui::ActionSheet> m_confirmationSheet;
};
