#include "DetailsEditorViewController.h"

#include "RecordingLibrary.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "graphics/Image.h"
#include "ui/Appearance.h"
#include "ui/BarButtonItem.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/TextView.h"
#include "ui/Toolbar.h"

#include <initializer_list>
#include <mutex>

namespace {

constexpr float kCategoryColumnWidth = 280;
constexpr float kCategoryRowHeight = 40;

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

// The slot outlives every static the editor's destructor reaches: it is never destroyed, so
// an editor nobody finalized is simply left at exit.
std::shared_ptr<DetailsEditorViewController>& sharedDetailsEditorInstance()
{
    static auto* slot = new std::shared_ptr<DetailsEditorViewController>();
    return *slot;
}

std::mutex& sharedDetailsEditorLock()
{
    static auto* lock = new std::mutex();
    return *lock;
}

std::shared_ptr<ui::Label> headerLabel(const gfx::Rect& frame, const char* key)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setBackgroundColor(gfx::Color::clear());
    label->setFont(gfx::Font::systemFont(15));
    label->setText(foundation::formatWithString(text("Heading Format"), text(key)));
    return label;
}

// The look both text fields share.
void styleField(ui::TextField& field, const char* placeholder, ui::TextFieldDelegate* delegate)
{
    field.setBorderStyle(ui::TextBorderStyle::RoundedRect);
    field.setTextColor(gfx::Color::black());
    field.setFont(gfx::Font::systemFont(16));
    field.setBackgroundColor(gfx::Color::clear());
    field.setKeyboardType(ui::KeyboardType::Default);
    field.setReturnKeyType(ui::ReturnKeyType::Done);
    field.setPlaceholder(text(placeholder));
    field.setDelegate(delegate);
}

std::shared_ptr<ui::TextField> textField(const gfx::Rect& frame, const char* placeholder, ui::TextFieldDelegate* delegate)
{
    auto field = std::make_shared<ui::TextField>(frame);
    styleField(*field, placeholder, delegate);
    field->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    return field;
}

} // namespace

std::shared_ptr<DetailsEditorViewController> DetailsEditorViewController::sharedDetailsEditor()
{
    std::lock_guard lock(sharedDetailsEditorLock());
    auto& slot = sharedDetailsEditorInstance();
    if (!slot)
        slot = std::shared_ptr<DetailsEditorViewController>(new DetailsEditorViewController());
    return slot;
}

DetailsEditorViewController::~DetailsEditorViewController()
{
    detachDelegates();
}

void DetailsEditorViewController::finalize()
{
    detachDelegates();
    m_toolBar.reset();
    m_markAsPlayedButton.reset();
    m_doneButton.reset();
    m_currentRecording.reset();
    m_recordingImageButton.reset();
    m_titleHeaderLabel.reset();
    m_titleTextField.reset();
    m_commentsHeaderLabel.reset();
    m_categoriesHeaderLabel.reset();
    m_commentsTextField.reset();
    m_categoriesPicker.reset();
    m_imagePicker.reset();
    m_shownPhotoBytes.reset();
    m_shownPhoto.reset();
    std::shared_ptr<DetailsEditorViewController> last;
    {
        std::lock_guard lock(sharedDetailsEditorLock());
        auto& slot = sharedDetailsEditorInstance();
        if (slot.get() == this)
            last = std::move(slot);
    }
    // The editor may go with this reference: nothing after it touches the editor.
}

void DetailsEditorViewController::detachDelegates()
{
    for (const auto& field : { m_titleTextField, m_commentsTextField })
        if (field)
            field->setDelegate(nullptr);
    if (m_categoriesPicker)
        m_categoriesPicker->setDelegate(nullptr);
    if (m_imagePicker)
        m_imagePicker->setDelegate(nullptr);
    if (auto menu = m_photoMenu.lock())
        menu->setDelegate(nullptr);
    for (const auto& item : { m_markAsPlayedButton, m_doneButton })
        if (item)
            item->setAction(nullptr);
}

// The screen

void DetailsEditorViewController::loadView()
{
    m_markAsPlayedButton = ui::BarButtonItem::withTitle(text("Mark Played"), ui::BarButtonItemStyle::Bordered,
        [this](ui::BarButtonItem&) { markAsPlayedButtonPressed(); });
    m_doneButton = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Done, [this](ui::BarButtonItem&) { doneButtonPressed(); });
    m_toolBar = std::make_shared<ui::Toolbar>(gfx::Rect(0, 0, 320, 44));
    m_toolBar->setBarStyle(ui::BarStyle::Black);
    m_toolBar->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_toolBar->setItems({ m_markAsPlayedButton, ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace), m_doneButton }, false);

    auto view = std::make_shared<ui::View>(ui::Screen::mainScreen().designApplicationFrame());
    view->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(ui::groupTableViewBackgroundColor());
    setView(view);

    m_recordingImageButton = std::make_shared<ui::Button>(gfx::Rect(12, 62, 64, 64));
    m_recordingImageButton->setFont(gfx::Font::boldSystemFont(10));
    // The title sits near the lower edge, over the picture.
    m_recordingImageButton->setTitleEdgeInsets({ 40, 0, 0, 0 });
    m_recordingImageButton->addTargetActionForControlEvents(this, [this](ui::Control&) { recordingImageButtonPressed(); },
        ui::ControlEventTouchUpInside);

    m_titleHeaderLabel = headerLabel(gfx::Rect(90, 64, 296, 24), "Title");
    m_titleTextField = textField(gfx::Rect(88, 90, 220, 30), "<title>", this);
    m_commentsHeaderLabel = headerLabel(gfx::Rect(14, 144, 296, 24), "Comments");
    // The comments take several lines: the field reaches down to the category's caption and
    // grows with the screen, so a long comment can be read while it is edited.
    m_categoriesHeaderLabel = headerLabel(gfx::Rect(14, 214, 296, 24), "Category");
    m_categoriesHeaderLabel->setAutoresizingMask(ui::ViewAutoresizingFlexibleTopMargin | ui::ViewAutoresizingFlexibleWidth);
    for (const auto& label : { m_titleHeaderLabel, m_commentsHeaderLabel })
        label->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    m_titleTextField->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    auto comments = std::make_shared<ui::TextView>(gfx::Rect(10, 172, 300, m_categoriesHeaderLabel->frame().minY() - 172));
    styleField(*comments, "<comments>", this);
    comments->setAutoresizingMask(ui::ViewAutoresizingFlexibleHeight | ui::ViewAutoresizingFlexibleWidth);
    m_commentsTextField = std::move(comments);

    // The picker keeps its natural size and stands on the bottom edge.
    m_categoriesPicker = std::make_shared<ui::PickerView>(gfx::Rect());
    const gfx::Size natural = m_categoriesPicker->sizeThatFits({ 0, 0 });
    m_categoriesPicker->setFrame(gfx::Rect(0, view->bounds().height() - natural.height, natural.width, natural.height));
    m_categoriesPicker->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleTopMargin);
    m_categoriesPicker->setDelegate(this);
    m_categoriesPicker->setShowsSelectionIndicator(true);

    for (const auto& subview : std::initializer_list<std::shared_ptr<ui::View>> { m_toolBar, m_recordingImageButton, m_titleHeaderLabel,
             m_titleTextField, m_commentsHeaderLabel, m_categoriesHeaderLabel, m_commentsTextField, m_categoriesPicker })
        view->addSubview(subview);
}

void DetailsEditorViewController::viewWillAppear(bool animated)
{
    refreshDisplayedRecording();
    ViewController::viewWillAppear(animated);
}

void DetailsEditorViewController::viewDidAppear(bool animated)
{
    refreshDisplayedRecording();
    ViewController::viewDidAppear(animated);
}

void DetailsEditorViewController::didReceiveMemoryWarning()
{
    foundation::log("MEMORY WARNING!  Details");
    ViewController::didReceiveMemoryWarning();
}

// The recording shown

void DetailsEditorViewController::setCurrentRecording(std::shared_ptr<Recording> recording)
{
    m_currentRecording = std::move(recording);
}

void DetailsEditorViewController::refreshDisplayedRecording()
{
    if (!isViewLoaded() || !m_currentRecording || !m_titleTextField)
        return;
    const Recording& recording = *m_currentRecording;
    m_titleTextField->setText(recording.title());
    m_commentsTextField->setText(recording.comments());

    // Categories may have been added or removed since the picker last asked.
    m_categoriesPicker->reloadAllComponents();
    const auto& categories = RecordingLibrary::sharedLibrary().definedCategories();
    for (size_t row = 0; row < categories.size(); ++row)
        if (categories[row] == recording.category())
            m_categoriesPicker->selectRowInComponent(int(row), 0, false);

    m_markAsPlayedButton->setTitle(text(recording.playCount() > 0 ? "Mark Unplayed" : "Mark Played"));
    showPhoto();
}

void DetailsEditorViewController::showPhoto()
{
    RecordingImage bytes = m_currentRecording->image();
    if (bytes != m_shownPhotoBytes) {
        m_shownPhotoBytes = bytes;
        // At most the zoomed photo's pixels, whatever size it was stored at.
        m_shownPhoto = Recording::photoImage(bytes);
    }
    // Bytes that do not decode show as no photo; they stay stored, so the menu still offers
    // to delete them.
    const bool hasPhoto = bytes != nullptr;
    m_recordingImageButton->setBackgroundImageForState(m_shownPhoto ? m_shownPhoto : ui::imageNamed("recording_symbol_small.png"),
        ui::ControlStateNormal);
    m_recordingImageButton->setFont(gfx::Font::boldSystemFont(hasPhoto ? 12 : 10));
    m_recordingImageButton->setTitleForState(text(hasPhoto ? "Edit" : "Add Photo"), ui::ControlStateNormal);
}

void DetailsEditorViewController::takeTexts()
{
    if (!m_currentRecording || !m_titleTextField)
        return;
    m_titleTextField->resignFirstResponder();
    m_currentRecording->setTitle(m_titleTextField->text());
    m_commentsTextField->resignFirstResponder();
    m_currentRecording->setComments(m_commentsTextField->text());
}

// Actions

void DetailsEditorViewController::doneButtonPressed()
{
    takeTexts();
    if (m_currentRecording)
        m_currentRecording->save();
    dismissModalViewControllerAnimated(true);
}

void DetailsEditorViewController::keyPressed(ui::Key key)
{
    if (key == ui::Key::Escape && isViewLoaded() && view()->window()) {
        doneButtonPressed();
        return;
    }
    ViewController::keyPressed(key);
}

void DetailsEditorViewController::keepShownEdits()
{
    if (!m_currentRecording || !isViewLoaded() || !view()->window() || !isAppearing())
        return;
    takeTexts();
    m_currentRecording->save();
}

void DetailsEditorViewController::markAsPlayedButtonPressed()
{
    if (!m_currentRecording)
        return;
    const bool played = m_currentRecording->playCount() > 0;
    m_currentRecording->setPlayCount(played ? 0 : 1);
    m_markAsPlayedButton->setTitle(text(played ? "Mark Played" : "Mark Unplayed"));
}

void DetailsEditorViewController::recordingImageButtonPressed()
{
    if (!m_currentRecording)
        return;
    takeTexts();
    auto menu = std::make_shared<ui::ActionSheet>("", this);
    if (ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::PhotoLibrary))
        menu->addButtonWithTitle(text("Choose Existing Photo"));
    if (ui::ImagePickerController::isSourceTypeAvailable(ui::ImagePickerControllerSourceType::Camera))
        menu->addButtonWithTitle(text("Take Photo"));
    if (m_currentRecording->image())
        menu->setDestructiveButtonIndex(menu->addButtonWithTitle(text("Delete Photo")));
    menu->setCancelButtonIndex(menu->addButtonWithTitle(text("Cancel")));
    menu->setActionSheetStyle(ui::ActionSheetStyle::BlackTranslucent);
    menu->showInView(*view());
    m_photoMenu = menu;
}

std::shared_ptr<ui::ActionSheet> DetailsEditorViewController::photoMenu() const
{
    auto menu = m_photoMenu.lock();
    return menu && menu->isVisible() ? menu : nullptr;
}

void DetailsEditorViewController::actionSheetClickedButtonAtIndex(ui::ActionSheet& actionSheet, int buttonIndex)
{
    if (!m_currentRecording)
        return;
    const std::string title = actionSheet.buttonTitleAtIndex(buttonIndex);
    if (title == text("Delete Photo")) {
        m_currentRecording->setImage(nullptr);
        refreshDisplayedRecording();
    } else if (title == text("Take Photo")) {
        presentImagePicker(ui::ImagePickerControllerSourceType::Camera);
    } else if (title == text("Choose Existing Photo")) {
        presentImagePicker(ui::ImagePickerControllerSourceType::PhotoLibrary);
    }
}

void DetailsEditorViewController::presentImagePicker(ui::ImagePickerControllerSourceType sourceType)
{
    if (!m_imagePicker) {
        m_imagePicker = std::make_shared<ui::ImagePickerController>();
        m_imagePicker->setAllowsImageEditing(true);
        m_imagePicker->setDelegate(this);
    }
    m_imagePicker->setSourceType(sourceType);
    presentModalViewController(m_imagePicker, true);
}

void DetailsEditorViewController::imagePickerControllerDidFinishPickingImageEditingInfo(ui::ImagePickerController&,
    std::shared_ptr<gfx::Image> image, const ui::ImagePickerEditingInfo&)
{
    if (m_currentRecording && image) {
        if (auto photo = Recording::imageDataForPhoto(*image))
            m_currentRecording->setImage(std::move(photo));
    }
    dismissModalViewControllerAnimated(true);
}

void DetailsEditorViewController::imagePickerControllerDidCancel(ui::ImagePickerController&)
{
    dismissModalViewControllerAnimated(true);
}

// The category picker

int DetailsEditorViewController::pickerViewNumberOfRowsInComponent(ui::PickerView&, int)
{
    return int(RecordingLibrary::sharedLibrary().definedCategories().size());
}

std::string DetailsEditorViewController::pickerViewTitleForRowForComponent(ui::PickerView&, int row, int)
{
    const auto& categories = RecordingLibrary::sharedLibrary().definedCategories();
    return row >= 0 && size_t(row) < categories.size() ? categories[size_t(row)] : std::string();
}

float DetailsEditorViewController::pickerViewWidthForComponent(ui::PickerView&, int)
{
    return kCategoryColumnWidth;
}

float DetailsEditorViewController::pickerViewRowHeightForComponent(ui::PickerView&, int)
{
    return kCategoryRowHeight;
}

void DetailsEditorViewController::pickerViewDidSelectRowInComponent(ui::PickerView&, int row, int)
{
    const auto& categories = RecordingLibrary::sharedLibrary().definedCategories();
    if (m_currentRecording && row >= 0 && size_t(row) < categories.size())
        m_currentRecording->setCategory(categories[size_t(row)]);
}

bool DetailsEditorViewController::textFieldShouldReturn(ui::TextField& textField)
{
    textField.resignFirstResponder();
    if (!m_currentRecording)
        return true;
    if (&textField == m_titleTextField.get())
        m_currentRecording->setTitle(textField.text());
    else if (&textField == m_commentsTextField.get())
        m_currentRecording->setComments(textField.text());
    return true;
}
