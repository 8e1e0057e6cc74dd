#include "CategoryEditorViewController.h"

#include "RecordingLibrary.h"

#include "foundation/Bundle.h"
#include "foundation/StringFormat.h"
#include "ui/AlertView.h"
#include "ui/Appearance.h"
#include "ui/BarButtonItem.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/Screen.h"
#include "ui/TextField.h"

#include <algorithm>

namespace {

const gfx::Rect kHeaderFrame { 12, 24, 296, 24 };
const gfx::Rect kFieldFrame { 10, 50, 300, 30 };

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

void showAlert(const std::string& message)
{
    auto alert = std::make_shared<ui::AlertView>("", message, nullptr, text("OK"));
    alert->show();
}

// A name of blanks alone would stand in the lists as an empty row.
bool isBlank(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

} // namespace

CategoryEditorViewController::CategoryEditorViewController() = default;

void CategoryEditorViewController::loadView()
{
    m_saveButton = ui::BarButtonItem::withTitle(text("Save"), ui::BarButtonItemStyle::Done, [this](ui::BarButtonItem&) { saveButtonPressed(); });
    navigationItem()->setRightBarButtonItem(m_saveButton, false);
    m_cancelButton = ui::BarButtonItem::withTitle(text("Cancel"), ui::BarButtonItemStyle::Bordered, [this](ui::BarButtonItem&) { cancelButtonPressed(); });
    navigationItem()->setLeftBarButtonItem(m_cancelButton, false);

    auto view = std::make_shared<ui::View>(ui::Screen::mainScreen().designApplicationFrame());
    view->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(ui::groupTableViewBackgroundColor());

    m_categoryHeaderLabel = std::make_shared<ui::Label>(kHeaderFrame);
    m_categoryHeaderLabel->setBackgroundColor(gfx::Color::clear());
    m_categoryHeaderLabel->setFont(gfx::Font::systemFont(15));
    m_categoryHeaderLabel->setText(foundation::formatWithString(text("Heading Format"), text("Category Name")));

    m_categoryTextField = std::make_shared<ui::TextField>(kFieldFrame);
    m_categoryTextField->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    m_categoryTextField->setTextColor(gfx::Color::black());
    m_categoryTextField->setFont(gfx::Font::systemFont(16));
    m_categoryTextField->setBackgroundColor(gfx::Color::clear());
    m_categoryTextField->setKeyboardType(ui::KeyboardType::Default);
    m_categoryTextField->setPlaceholder(text("New Category"));
    m_categoryTextField->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);

    m_categoryHeaderLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_categoryTextField->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    view->addSubview(m_categoryHeaderLabel);
    view->addSubview(m_categoryTextField);
    setView(std::move(view));
}

void CategoryEditorViewController::viewWillAppear(bool animated)
{
    m_categoryTextField->setPlaceholder(text(m_categoryToEdit ? "Category" : "New Category"));
    m_categoryTextField->setText(m_categoryToEdit.value_or(""));
    m_categoryTextField->becomeFirstResponder();
    ViewController::viewWillAppear(animated);
}

void CategoryEditorViewController::viewDidDisappear(bool animated)
{
    m_categoryTextField->resignFirstResponder();
    ViewController::viewDidDisappear(animated);
}

void CategoryEditorViewController::saveButtonPressed()
{
    // A second tap while the screen already leaves would add or rename once more.
    auto* navigation = navigationController();
    if (!navigation || navigation->topViewController().get() != this)
        return;
    const std::string name = m_categoryTextField->text();
    if (m_categoryToEdit == name) {
        leave();
        return;
    }
    if (isBlank(name)) {
        showAlert(text("Category Blank Prompt"));
        return;
    }
    auto& library = RecordingLibrary::sharedLibrary();
    const auto& defined = library.definedCategories();
    if (std::find(defined.begin(), defined.end(), name) != defined.end()) {
        showAlert(foundation::formatWithString(text("Category Exists Prompt"), name));
        return;
    }
    if (m_categoryToEdit)
        library.updateCategoryTo(*m_categoryToEdit, name);
    else
        library.addCategory(name);
    leave();
}

void CategoryEditorViewController::cancelButtonPressed()
{
    leave();
}

void CategoryEditorViewController::leave()
{
    if (auto* navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

bool CategoryEditorViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const
{
    return orientation == ui::InterfaceOrientation::Portrait;
}
