#pragma once

#include "RecordingsTableViewController.h"

/// The Recordings tab: every recording in My Recordings, in the table style "listStyle" names
/// at creation. Main thread only.
class MyRecordingsViewController : public RecordingsTableViewController {
public:
    static std::shared_ptr<MyRecordingsViewController> create();
    MyRecordingsViewController();

    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;
    void didReceiveMemoryWarning() override;
};
