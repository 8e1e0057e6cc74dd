#include "ui/Responder.h"

#include "ui/Window.h"

namespace ui {

void Responder::touchesBegan(const TouchSet& touches, const Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const TouchSet& touches, const Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const TouchSet& touches, const Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const TouchSet& touches, const Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesCancelled(touches, event);
}

void Responder::insertText(const std::string& text)
{
    if (Responder* next = nextResponder())
        next->insertText(text);
}

void Responder::keyPressed(Key key)
{
    if (Responder* next = nextResponder())
        next->keyPressed(key);
}

bool Responder::performKeyCommand(const KeyCommand& command)
{
    Responder* next = nextResponder();
    return next && next->performKeyCommand(command);
}

void Responder::scrollWheel(const WheelEvent& event)
{
    if (Responder* next = nextResponder())
        next->scrollWheel(event);
}

Window* Responder::responderWindow() const
{
    return Window::keyWindow();
}

bool Responder::becomeFirstResponder()
{
    Window* window = responderWindow();
    if (!window || !canBecomeFirstResponder() || weak_from_this().expired())
        return false;
    Responder* current = window->firstResponder();
    if (current == this)
        return true;
    if (current && !current->resignFirstResponder())
        return false;
    window->setFirstResponder(this);
    return true;
}

bool Responder::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    if (!canResignFirstResponder())
        return false;
    responderWindow()->setFirstResponder(nullptr);
    return true;
}

bool Responder::isFirstResponder() const
{
    Window* window = responderWindow();
    return window && window->firstResponder() == this;
}

} // namespace ui
