#include "AboutViewController.h"

#include "AudioQueueObject.h"
#include "AudioRecorder.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "ui/Application.h"
#include "ui/BarButtonItem.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Screen.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr int kAlertYes = 1;

// The views stand one under the other in the 367 points between the navigation bar and the
// tab bar, centred on the screen, none overlapping the next: the thank-you text gets room for
// its five lines, and the copyright line ends above the tab bar.
constexpr float kLeft = 15;
constexpr float kWidth = 290;
const gfx::Rect kLogoFrame { kLeft, 0, kWidth, 208 };
const gfx::Rect kVersionFrame { kLeft, 208, kWidth, 20 };
const gfx::Rect kThankYouFrame { kLeft, 229, kWidth, 88 };
const gfx::Rect kWebsiteFrame { kLeft, 318, kWidth, 30 };
const gfx::Rect kCopyrightFrame { kLeft, 348, kWidth, 16 };
constexpr float kShownWidth = 320;
constexpr float kShownHeight = 367;

const gfx::Color kGrey = gfx::Color::grey(0.8f, 0.9f);
const gfx::Color kOrange { 1.0f, 0.5f, 0.0f, 1.0f };

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, const gfx::Font& font)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextColor(kGrey);
    label->setFont(font);
    label->setTextAlignment(gfx::TextAlignment::Center);
    label->setNumberOfLines(1);
    return label;
}

} // namespace

std::shared_ptr<AboutViewController> AboutViewController::create()
{
    return std::make_shared<AboutViewController>();
}

AboutViewController::AboutViewController()
{
    setTitle(text("About"));
    m_preferencesButton = ui::BarButtonItem::withTitle(text("Preferences"), ui::BarButtonItemStyle::Bordered, [this](ui::BarButtonItem&) { preferencesButtonPressed(); });
    navigationItem()->setRightBarButtonItem(m_preferencesButton);
    tabBarItem()->setImage(ui::imageNamed("t.png"));
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.addObserver(this, PRLVNotificationAudioQueueDidStart, nullptr, [this](const foundation::Notification& n) { audioDidStart(n); });
    center.addObserver(this, PRLVNotificationAudioQueueDidStop, nullptr, [this](const foundation::Notification& n) { audioDidStop(n); });
}

AboutViewController::~AboutViewController()
{
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    if (auto alert = m_alert.lock())
        alert->setDelegate(nullptr);
}

std::string AboutViewController::websiteAddress()
{
    return PARLIVO_HOMEPAGE;
}

std::string AboutViewController::websiteName()
{
    // The build allows only "http[s]://host[:port]/path/".
    const std::string address = websiteAddress();
    const auto hostStart = address.find("://") + 3;
    const auto hostEnd = address.find_first_of(":/", hostStart);
    return address.substr(hostStart, hostEnd - hostStart);
}

std::string AboutViewController::copyright()
{
    return "\u00a9 2026 The Parlivo developers";
}

bool AboutViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}

void AboutViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  About");
    ViewController::didReceiveMemoryWarning();
}

void AboutViewController::loadView()
{
    auto view = std::make_shared<ui::View>(ui::Screen::mainScreen().designApplicationFrame());
    view->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(gfx::Color::black());
    setView(view);

    m_productLogo = std::make_shared<ui::ImageView>(kLogoFrame);
    m_productLogo->setImage(ui::imageNamed("parlivo_logo_black.png"));

    m_productVersionLabel = makeLabel(kVersionFrame, gfx::Font::boldSystemFont(16));
    const auto version = foundation::Bundle::main().objectForInfoDictionaryKey("CFBundleVersion").value_or("");
    m_productVersionLabel->setText(foundation::format("%s v.%s", text("Parlivo").c_str(), version.c_str()));

    m_companyDescLabel = makeLabel(kThankYouFrame, gfx::Font::systemFont(14));
    m_companyDescLabel->setText(text("Thank You Message"));
    m_companyDescLabel->setNumberOfLines(5);
    m_companyDescLabel->setLineBreakMode(gfx::LineBreakMode::WordWrap);

    m_websiteButton = std::make_shared<ui::Button>(kWebsiteFrame);
    m_websiteButton->setBackgroundColor(gfx::Color::clear());
    m_websiteButton->setTitleForState(websiteName(), ui::ControlStateNormal);
    m_websiteButton->setTitleColorForState(kGrey, ui::ControlStateNormal);
    m_websiteButton->setTitleColorForState(kOrange, ui::ControlStateSelected);
    m_websiteButton->setFont(gfx::Font::boldSystemFont(16));
    m_websiteButton->addTargetActionForControlEvents(this, [this](ui::Control&) { websiteButtonPressed(); }, ui::ControlEventTouchUpInside);

    m_copyRightLabel = makeLabel(kCopyrightFrame, gfx::Font::systemFont(11));
    m_copyRightLabel->setText(copyright());

    for (const std::shared_ptr<ui::View>& subview : std::vector<std::shared_ptr<ui::View>> { m_productLogo, m_productVersionLabel,
             m_companyDescLabel, m_websiteButton, m_copyRightLabel })
        view->addSubview(subview);
}

void AboutViewController::viewDidLayoutSubviews()
{
    const gfx::Rect b = view()->bounds();
    const float dx = std::max(0.0f, std::round((b.width() - kShownWidth) * 0.5f));
    const float dy = std::max(0.0f, std::round((b.height() - kShownHeight) * 0.5f));
    const std::pair<std::shared_ptr<ui::View>, gfx::Rect> placed[] = { { m_productLogo, kLogoFrame }, { m_productVersionLabel, kVersionFrame },
        { m_companyDescLabel, kThankYouFrame }, { m_websiteButton, kWebsiteFrame }, { m_copyRightLabel, kCopyrightFrame } };
    for (const auto& [subview, frame] : placed)
        subview->setFrame(frame.offsetBy(dx, dy));
}

void AboutViewController::preferencesButtonPressed()
{
    ui::Application::sharedApplication().showPreferences();
}

void AboutViewController::audioDidStart(const foundation::Notification& notification)
{
    if (dynamic_cast<AudioRecorder*>(notification.objectAs<AudioQueueObject>()))
        m_activeAudioSession = true;
}

void AboutViewController::audioDidStop(const foundation::Notification&)
{
    m_activeAudioSession = false;
}

void AboutViewController::websiteButtonPressed()
{
    m_websiteButton->setSelected(true);
    if (!m_activeAudioSession) {
        openWebsite();
        m_websiteButton->setSelected(false);
        return;
    }
    auto alert = std::make_shared<ui::AlertView>(text("Stop Recording Prompt Title"), text("Stop Recording Prompt"), this, text("No"),
        std::vector<std::string> { text("Yes") });
    showAlert(std::move(alert));
}

void AboutViewController::alertViewClickedButtonAtIndex(ui::AlertView&, int buttonIndex)
{
    if (buttonIndex == kAlertYes)
        openWebsite();
    m_websiteButton->setSelected(false);
}

void AboutViewController::openWebsite()
{
    const std::string address = websiteAddress();
    if (ui::Application::sharedApplication().openURL(address))
        return;
    // The desktop has no handler for the address, or its handler failed: say so rather than
    // leave the tap unanswered, and give the address to type elsewhere.
    foundation::logf("Could not open the web site %s", address.c_str());
    showAlert(std::make_shared<ui::AlertView>(text("Website Unavailable Prompt Title"),
        foundation::formatWithString(text("Website Unavailable Prompt"), address), nullptr, text("OK")));
}

void AboutViewController::showAlert(std::shared_ptr<ui::AlertView> alert)
{
    if (auto shown = m_alert.lock())
        shown->setDelegate(nullptr);
    m_alert = alert;
    alert->show();
}
