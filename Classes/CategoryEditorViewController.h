#pragma once

#include "ui/ViewController.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class BarButtonItem;
class Label;
class TextField;
}

/// Adds a category, or renames one (categoryToEdit set), through the library. Save refuses a
/// blank name and a name already defined (compared exactly, so a change of letter case is a
/// new name) with an alert and stays; saving a rename to the name it had leaves without
/// touching the library. Names are stored as typed. The keyboard comes up when the screen
/// appears and goes when it has gone. Pushed by the categories screen, which keeps it for
/// every add and rename. Main thread only.
class CategoryEditorViewController : public ui::ViewController {
public:
    CategoryEditorViewController();

    /// The category being renamed; none when a new one is being added.
    const std::optional<std::string>& categoryToEdit() const { return m_categoryToEdit; }
    void setCategoryToEdit(std::optional<std::string> category) { m_categoryToEdit = std::move(category); }

    const std::shared_ptr<ui::BarButtonItem>& saveButton() const { return m_saveButton; }
    const std::shared_ptr<ui::BarButtonItem>& cancelButton() const { return m_cancelButton; }
    const std::shared_ptr<ui::Label>& categoryHeaderLabel() const { return m_categoryHeaderLabel; }
    const std::shared_ptr<ui::TextField>& categoryTextField() const { return m_categoryTextField; }

    void saveButtonPressed();
    void cancelButtonPressed();

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) const override;

private:
    void leave();

    std::shared_ptr<ui::BarButtonItem> m_saveButton;
    std::shared_ptr<ui::BarButtonItem> m_cancelButton;
    std::shared_ptr<ui::Label> m_categoryHeaderLabel;
    std::shared_ptr<ui::TextField> m_categoryTextField;
    std::optional<std::string> m_categoryToEdit;
};
