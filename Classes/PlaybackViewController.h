#pragma once

#include "ui/ViewController.h"

#include <memory>

class Recording;
class RecordingDataSource;

namespace ui {
class Label;
}

/// The screen a list pushes for the chosen recording. For now it shows the recording's title
/// only; playing, stepping and editing come with the full screen.
class PlaybackViewController : public ui::ViewController {
public:
    PlaybackViewController();
    ~PlaybackViewController() override;

    /// The list whose neighbours the screen steps through; not owned (the list owns the screen).
    RecordingDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(RecordingDataSource* dataSource) { m_dataSource = dataSource; }

    const std::shared_ptr<Recording>& currentRecording() const { return m_currentRecording; }
    void setCurrentRecording(std::shared_ptr<Recording> recording);

    void loadView() override;
    void viewWillAppear(bool animated) override;

    /// The label that shows the title, for tests; null before the view loads.
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }

private:
    void refresh();

    RecordingDataSource* m_dataSource { nullptr };
    std::shared_ptr<Recording> m_currentRecording;
    std::shared_ptr<ui::Label> m_titleLabel;
};
