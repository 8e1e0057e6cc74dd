#pragma once

#include "Recording.h"

#include "ui/ActionSheet.h"
#include "ui/ImagePickerController.h"
#include "ui/PickerView.h"
#include "ui/TextField.h"
#include "ui/ViewController.h"

#include <memory>
#include <string>

namespace gfx {
class Image;
}

namespace ui {
class BarButtonItem;
class Button;
class Label;
class Toolbar;
}

/// The full-screen screen that edits one recording's title, comments, category, photo and
/// played state. The studio and every playback screen share the one editor: they hand it a
/// recording and present it modally; Done dismisses it.
///
/// Edits reach the recording as they are made: the category when the picker comes to rest,
/// the played state on its button, the photo when one is picked (stored as
/// Recording::imageDataForPhoto makes it) or deleted, the texts when a field returns and
/// before the photo menu opens. Done takes the texts once more and saves the recording; there
/// is no cancel, leaving always keeps the edits. A recording that is not filed yet is not
/// written by Done (Recording::save writes filed ones only): whoever files it saves it.
///
/// Made by the first sharedDetailsEditor() (from any thread; concurrent first calls make one
/// editor) and ended by finalize() at termination. Everything else runs on the main thread.
class DetailsEditorViewController : public ui::ViewController,
                                    public ui::TextFieldDelegate,
                                    public ui::PickerViewDelegate,
                                    public ui::ActionSheetDelegate,
                                    public ui::ImagePickerControllerDelegate {
public:
    /// The one editor, made on the first call. After finalize() the next call makes a new one.
    static std::shared_ptr<DetailsEditorViewController> sharedDetailsEditor();
    ~DetailsEditorViewController() override;

    const std::shared_ptr<Recording>& currentRecording() const { return m_currentRecording; }
    /// Holds recording; the screen shows it when it next appears.
    void setCurrentRecording(std::shared_ptr<Recording> recording);
    /// Fills every field from the recording: texts, the category's row (a category that is not
    /// among the defined ones leaves the picker's row as it was), the played-state button's
    /// title and the photo button (the photo with "Edit", or the small symbol with "Add Photo").
    /// Nothing before the view is loaded or without a recording.
    void refreshDisplayedRecording();

    // Actions.
    /// Takes both texts, saves the recording and dismisses the editor.
    void doneButtonPressed();
    /// Escape leaves as Done does: the editor has no cancel, leaving always keeps the edits.
    void keyPressed(ui::Key key) override;
    /// Played (a play count above 0) becomes unplayed (0), unplayed becomes played once (1);
    /// written by the next Done.
    void markAsPlayedButtonPressed();
    /// Takes both texts, then shows the photo menu: "Choose Existing Photo" where a picture
    /// library exists, "Take Photo" where a camera does, "Delete Photo" (destructive) when the
    /// recording has a photo, and "Cancel", in that order.
    void recordingImageButtonPressed();
    /// At termination with the editor up: keeps what it shows as Done would (both texts taken,
    /// the recording saved) without dismissing it. Nothing when the editor is not shown.
    void keepShownEdits();
    /// Releases every field (the recording and the image picker included) and gives up the
    /// editor, which goes when nothing else holds it. Called once, at termination; a second
    /// call does nothing.
    void finalize();

    void loadView() override;
    /// Shows the recording as the screen slides in.
    void viewWillAppear(bool animated) override;
    /// Shows the recording again: back from the image picker, the photo picked is shown.
    void viewDidAppear(bool animated) override;
    void didReceiveMemoryWarning() override;

    // The photo menu: the button is known by its title.
    void actionSheetClickedButtonAtIndex(ui::ActionSheet& actionSheet, int buttonIndex) override;
    // The image picker: a picked picture becomes the recording's photo.
    void imagePickerControllerDidFinishPickingImageEditingInfo(ui::ImagePickerController& picker, std::shared_ptr<gfx::Image> image,
        const ui::ImagePickerEditingInfo& editingInfo) override;
    void imagePickerControllerDidCancel(ui::ImagePickerController& picker) override;
    // The category picker: one column of the defined categories, read afresh at every call.
    int pickerViewNumberOfRowsInComponent(ui::PickerView& pickerView, int component) override;
    std::string pickerViewTitleForRowForComponent(ui::PickerView& pickerView, int row, int component) override;
    float pickerViewWidthForComponent(ui::PickerView& pickerView, int component) override;
    float pickerViewRowHeightForComponent(ui::PickerView& pickerView, int component) override;
    /// The recording takes the category at once.
    void pickerViewDidSelectRowInComponent(ui::PickerView& pickerView, int row, int component) override;
    /// Ends editing of the field and takes its text into the recording (saved by Done).
    bool textFieldShouldReturn(ui::TextField& textField) override;

    // The screen's elements, for tests (null before the view loads and after finalize).
    const std::shared_ptr<ui::Toolbar>& toolBar() const { return m_toolBar; }
    const std::shared_ptr<ui::BarButtonItem>& markAsPlayedButton() const { return m_markAsPlayedButton; }
    const std::shared_ptr<ui::BarButtonItem>& doneButton() const { return m_doneButton; }
    const std::shared_ptr<ui::Button>& recordingImageButton() const { return m_recordingImageButton; }
    const std::shared_ptr<ui::Label>& titleHeaderLabel() const { return m_titleHeaderLabel; }
    const std::shared_ptr<ui::TextField>& titleTextField() const { return m_titleTextField; }
    const std::shared_ptr<ui::Label>& commentsHeaderLabel() const { return m_commentsHeaderLabel; }
    const std::shared_ptr<ui::Label>& categoriesHeaderLabel() const { return m_categoriesHeaderLabel; }
    const std::shared_ptr<ui::TextField>& commentsTextField() const { return m_commentsTextField; }
    const std::shared_ptr<ui::PickerView>& categoriesPicker() const { return m_categoriesPicker; }
    /// Made on first use of the photo menu, then kept.
    const std::shared_ptr<ui::ImagePickerController>& imagePicker() const { return m_imagePicker; }
    /// The photo menu while it is shown, else null.
    std::shared_ptr<ui::ActionSheet> photoMenu() const;

private:
    DetailsEditorViewController() = default;

    /// Copies both fields' texts into the recording, ending their editing.
    void takeTexts();
    void showPhoto();
    void presentImagePicker(ui::ImagePickerControllerSourceType sourceType);
    /// Stops every view and the picker from calling back into the editor.
    void detachDelegates();

    std::shared_ptr<ui::Toolbar> m_toolBar;
    std::shared_ptr<ui::BarButtonItem> m_markAsPlayedButton;
    std::shared_ptr<ui::BarButtonItem> m_doneButton;
    std::shared_ptr<Recording> m_currentRecording;
    std::shared_ptr<ui::Button> m_recordingImageButton;
    std::shared_ptr<ui::Label> m_titleHeaderLabel;
    std::shared_ptr<ui::TextField> m_titleTextField;
    std::shared_ptr<ui::Label> m_commentsHeaderLabel;
    std::shared_ptr<ui::Label> m_categoriesHeaderLabel;
    std::shared_ptr<ui::TextField> m_commentsTextField;
    std::shared_ptr<ui::PickerView> m_categoriesPicker;
    std::shared_ptr<ui::ImagePickerController> m_imagePicker;
    std::weak_ptr<ui::ActionSheet> m_photoMenu;
    /// The photo shown and the bytes it was decoded from, so a refresh decodes it only once.
    RecordingImage m_shownPhotoBytes;
    std::shared_ptr<gfx::Image> m_shownPhoto;
};
