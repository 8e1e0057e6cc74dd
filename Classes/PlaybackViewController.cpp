#include "PlaybackViewController.h"

#include "Recording.h"

#include "ui/Label.h"
#include "ui/View.h"

PlaybackViewController::PlaybackViewController()
{
    setHidesBottomBarWhenPushed(true);
}

PlaybackViewController::~PlaybackViewController() = default;

void PlaybackViewController::setCurrentRecording(std::shared_ptr<Recording> recording)
{
    m_currentRecording = std::move(recording);
    refresh();
}

void PlaybackViewController::loadView()
{
    ViewController::loadView();
    auto view = this->view();
    view->setBackgroundColor(gfx::Color::white());
    m_titleLabel = std::make_shared<ui::Label>(gfx::Rect(10, 20, 300, 40));
    m_titleLabel->setFont(gfx::Font::boldSystemFont(20));
    m_titleLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_titleLabel->setBackgroundColor(gfx::Color::clear());
    view->addSubview(m_titleLabel);
    refresh();
}

void PlaybackViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    refresh();
}

void PlaybackViewController::refresh()
{
    if (!m_titleLabel)
        return;
    m_titleLabel->setText(m_currentRecording ? m_currentRecording->title() : std::string());
    setTitle(m_currentRecording ? m_currentRecording->title() : std::string());
}
