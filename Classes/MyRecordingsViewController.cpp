#include "MyRecordingsViewController.h"

#include "foundation/Log.h"
#include "foundation/Bundle.h"
#include "ui/ImageView.h"

std::shared_ptr<MyRecordingsViewController> MyRecordingsViewController::create()
{
    return std::make_shared<MyRecordingsViewController>();
}

MyRecordingsViewController::MyRecordingsViewController()
    : RecordingsTableViewController(tableStyleFromSettings(), 1, std::nullopt)
{
    setTitle(foundation::localizedString("Recordings"));
    tabBarItem()->setImage(ui::imageNamed("recordings.png"));
}

bool MyRecordingsViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

void MyRecordingsViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  My Recordings");
    RecordingsTableViewController::didReceiveMemoryWarning();
}
