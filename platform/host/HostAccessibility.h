#pragma once

#include "ui/Accessibility.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

class QAccessibleInterface;

namespace host {

class HostWindow;

/// The screens for the desktop's screen readers: Qt's accessibility interfaces over the ui
/// layer's tree (ui/Accessibility.h), which Qt's bridge puts on the accessibility bus
/// (AT-SPI) when the desktop asks for it. The window's interface (made by a factory Qt asks
/// for the window) has the screen's tree as its children; each element gets an interface of
/// its own, registered with Qt on first need and dropped once its view has gone. Readers can
/// press what can be pressed (action interface), set sliders (value interface), and read and
/// replace a field's text (text and editable text interfaces); what they ask for runs as a task
/// of the main run loop, as the host's events do, so the timers it starts are waited for.
///
/// The ui layer's announcements are gathered and passed to Qt once the current event is
/// handled (a table reloading its cells announces a change per cell), as Qt's events: focus,
/// name, value or text, state (checked, enabled, focused, selected, from what the element
/// said last), children changed, and a screen shown. One instance at a time, made after the
/// window and dropped before it; main thread.
class HostAccessibility : public ui::AccessibilityObserver {
public:
    explicit HostAccessibility(HostWindow& window);
    ~HostAccessibility() override;
    HostAccessibility(const HostAccessibility&) = delete;
    HostAccessibility& operator=(const HostAccessibility&) = delete;

    void accessibilityDidChange(const ui::AccessibilityElement& element, ui::AccessibilityChange change) override;

    HostWindow& window() const { return m_window; }
    /// The interface of element: the window's for the ui window, else the element's own, made
    /// on first need; null when its view has gone.
    QAccessibleInterface* interfaceFor(const ui::AccessibilityElement& element);
    /// The elements the window's interface holds.
    std::vector<ui::AccessibilityElement> rootChildren() const;
    /// The instance living now, or null.
    static HostAccessibility* current();

private:
    using Key = std::pair<const ui::View*, int>;
    struct Pending {
        ui::AccessibilityElement element;
        ui::AccessibilityChange change;
    };
    void flush();
    void send(const ui::AccessibilityElement& element, ui::AccessibilityChange change);
    /// The element a change is told on: element, or the nearest one that is read.
    ui::AccessibilityElement readElement(const ui::AccessibilityElement& element) const;
    void dropGoneInterfaces();

    HostWindow& m_window;
    std::map<Key, QAccessibleInterface*> m_interfaces;
    std::vector<Pending> m_pending;
    bool m_flushPosted { false };
    std::shared_ptr<bool> m_alive;
};

} // namespace host
