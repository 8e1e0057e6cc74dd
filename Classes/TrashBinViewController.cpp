#include "TrashBinViewController.h"

#include "Recording.h"
#include "SoundEffect.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "ui/BarButtonItem.h"
#include "ui/ImageView.h"

std::shared_ptr<TrashBinViewController> TrashBinViewController::create()
{
    return std::make_shared<TrashBinViewController>();
}

TrashBinViewController::TrashBinViewController()
    : RecordingsTableViewController(tableStyleFromSettings(), 2, std::nullopt)
{
    setTitle(foundation::localizedString("Trash"));
    tabBarItem()->setImage(ui::imageNamed("trashcan.png"));
    m_crumpleSound = SoundEffect::soundEffectWithContentsOfFile(foundation::Bundle::main().pathForResource("crumple", "caf"));
}

TrashBinViewController::~TrashBinViewController()
{
    if (m_confirmationSheet)
        m_confirmationSheet->setDelegate(nullptr);
}

void TrashBinViewController::loadView()
{
    RecordingsTableViewController::loadView();
    m_emptyTrashBinButton = ui::BarButtonItem::withTitle(foundation::localizedString("Empty"), ui::BarButtonItemStyle::Plain, [this](ui::BarButtonItem&) { emtpyTrashBinButtonPressed(); });
    navigationItem()->setRightBarButtonItem(m_emptyTrashBinButton, false);
}

void TrashBinViewController::viewDidAppear(bool animated)
{
    m_emptyTrashBinButton->setEnabled(getCount() > 0);
    RecordingsTableViewController::viewDidAppear(animated);
}

bool TrashBinViewController::tableViewCanEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return false;
}

void TrashBinViewController::emtpyTrashBinButtonPressed()
{
    showEmptyTrashConfirmationInView(*view());
}

void TrashBinViewController::showEmptyTrashConfirmationInView(ui::View& shownIn)
{
    // The list's view (and its Empty button) exists when the trash is emptied.
    (void)view();
    if (m_confirmationSheet)
        m_confirmationSheet->setDelegate(nullptr);
    m_confirmationSheet = std::make_shared<ui::ActionSheet>(foundation::localizedString("Sure Delete Prompt"), this,
        foundation::localizedString("Cancel"), foundation::localizedString("Delete"));
    m_confirmationSheet->setActionSheetStyle(ui::ActionSheetStyle::BlackTranslucent);
    m_confirmationSheet->showInView(shownIn);
}

void TrashBinViewController::actionSheetClickedButtonAtIndex(ui::ActionSheet&, int buttonIndex)
{
    if (buttonIndex == 0)
        emptyTrashBin();
}

void TrashBinViewController::emptyTrashBin()
{
    // A copy: every delete makes this list rebuild its sections.
    std::vector<std::shared_ptr<Recording>> doomed;
    doomed.reserve(size_t(getCount()));
    for (const auto& title : sortedDataGroups())
        for (const auto& recording : data().at(title))
            doomed.push_back(recording);
    for (const auto& recording : doomed)
        recording->deleteRecording();
    doomed.clear();
    tableView()->reloadData();
    if (m_crumpleSound)
        m_crumpleSound->play();
    m_emptyTrashBinButton->setEnabled(false);
}

bool TrashBinViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

void TrashBinViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  Trash Bin");
    RecordingsTableViewController::didReceiveMemoryWarning();
}
