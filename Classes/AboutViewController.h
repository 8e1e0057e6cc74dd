#pragma once

#include "ui/AlertView.h"
#include "ui/ViewController.h"

#include <memory>
#include <string>

namespace foundation {
class Notification;
}

namespace ui {
class BarButtonItem;
class Button;
class ImageView;
class Label;
}

/// The About tab: Parlivo's logo, its name and version, a thank-you text, a button that opens
/// Parlivo's web site and a copyright line.
///
/// The button asks first while a recording runs: the screen keeps `activeAudioSession` from the
/// queues' start and stop notifications (set when a recorder starts, cleared when any queue
/// stops), which arrive on the main run loop. The address is opened through the application;
/// when the desktop cannot open it the screen says so and shows the address. The button is
/// selected (orange) while the request is under way and unselected once it has been answered.
/// Main thread only.
class AboutViewController : public ui::ViewController, public ui::AlertViewDelegate {
public:
    static std::shared_ptr<AboutViewController> create();
    AboutViewController();
    ~AboutViewController() override;

    /// The address the button opens: the build's PARLIVO_HOMEPAGE.
    static std::string websiteAddress();
    /// The button's caption: the host name of the address.
    static std::string websiteName();
    /// The copyright line under the button.
    static std::string copyright();

    /// A recorder runs (a paused recording does not count: its queue has stopped).
    bool activeAudioSession() const { return m_activeAudioSession; }

    void loadView() override;
    /// A taller or wider screen keeps the column together in its middle.
    void viewDidLayoutSubviews() override;

    /// Shows the Preferences screen (the navigation bar's button).
    void preferencesButtonPressed();
    const std::shared_ptr<ui::BarButtonItem>& preferencesButton() const { return m_preferencesButton; }

    /// Opens the web site at once, or asks first while a recording runs.
    void websiteButtonPressed();
    /// On the question asked while recording, index 1 ("Yes") opens the web site; every answer
    /// unselects the button.
    void alertViewClickedButtonAtIndex(ui::AlertView& alertView, int buttonIndex) override;

    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;
    void didReceiveMemoryWarning() override;

    // The views, for tests; null before the view loads.
    const std::shared_ptr<ui::ImageView>& productLogo() const { return m_productLogo; }
    const std::shared_ptr<ui::Label>& productVersionLabel() const { return m_productVersionLabel; }
    const std::shared_ptr<ui::Label>& companyDescLabel() const { return m_companyDescLabel; }
    const std::shared_ptr<ui::Button>& websiteButton() const { return m_websiteButton; }
    const std::shared_ptr<ui::Label>& copyRightLabel() const { return m_copyRightLabel; }
    /// The alert the screen shows now (the question or the failure), or null.
    std::shared_ptr<ui::AlertView> alert() const { return m_alert.lock(); }

private:
    void audioDidStart(const foundation::Notification& notification);
    void audioDidStop(const foundation::Notification& notification);
    /// Opens the address; a desktop that cannot open it gets the failure alert.
    void openWebsite();
    void showAlert(std::shared_ptr<ui::AlertView> alert);

    std::shared_ptr<ui::ImageView> m_productLogo;
    std::shared_ptr<ui::Label> m_productVersionLabel;
    std::shared_ptr<ui::Label> m_copyRightLabel;
    std::shared_ptr<ui::Label> m_companyDescLabel;
    std::shared_ptr<ui::Button> m_websiteButton;
    std::shared_ptr<ui::BarButtonItem> m_preferencesButton;
    bool m_activeAudioSession { false };
    /// Shown alerts keep themselves alive; this one's delegate is cleared when the screen goes.
    std::weak_ptr<ui::AlertView> m_alert;
};
