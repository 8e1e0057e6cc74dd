#include "host/HostAccessibility.h"

#include "host/HostWindow.h"

#include "foundation/RunLoop.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <cmath>

namespace host {

namespace {

HostAccessibility* g_current = nullptr;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QAccessible::Role qtRole(ui::AccessibilityRole role)
{
    using R = ui::AccessibilityRole;
    switch (role) {
    case R::None:
        return QAccessible::NoRole;
    case R::Window:
        return QAccessible::Window;
    case R::Screen:
        return QAccessible::Pane;
    case R::Group:
        return QAccessible::Grouping;
    case R::PushButton:
        return QAccessible::Button;
    case R::StaticText:
        return QAccessible::StaticText;
    case R::EditableText:
        return QAccessible::EditableText;
    case R::Slider:
        return QAccessible::Slider;
    case R::CheckBox:
        return QAccessible::CheckBox;
    case R::List:
        return QAccessible::List;
    case R::ListItem:
        return QAccessible::ListItem;
    case R::PageTabList:
        return QAccessible::PageTabList;
    case R::PageTab:
        return QAccessible::PageTab;
    case R::NavigationBar:
    case R::ToolBar:
        return QAccessible::ToolBar;
    case R::Dialog:
        return QAccessible::Dialog;
    case R::Alert:
        return QAccessible::AlertMessage;
    case R::LevelBar:
        return QAccessible::ProgressBar;
    case R::Image:
        return QAccessible::Graphic;
    }
    return QAccessible::NoRole;
}

QAccessible::State qtState(const ui::AccessibilityData& data)
{
    QAccessible::State state;
    state.disabled = data.has(ui::AccessibilityStateDisabled);
    state.focusable = data.has(ui::AccessibilityStateFocusable);
    state.focused = data.has(ui::AccessibilityStateFocused);
    state.selectable = data.has(ui::AccessibilityStateSelectable);
    state.selected = data.has(ui::AccessibilityStateSelected);
    state.checkable = data.has(ui::AccessibilityStateCheckable);
    state.checked = data.has(ui::AccessibilityStateChecked);
    state.expandable = data.has(ui::AccessibilityStateExpandable);
    state.expanded = data.has(ui::AccessibilityStateExpanded);
    state.editable = data.has(ui::AccessibilityStateEditable);
    state.multiLine = data.has(ui::AccessibilityStateMultiLine);
    state.modal = data.has(ui::AccessibilityStateModal);
    return state;
}

const QString& qtActionName(ui::AccessibilityAction action)
{
    switch (action) {
    case ui::AccessibilityAction::Press:
        return QAccessibleActionInterface::pressAction();
    case ui::AccessibilityAction::Increment:
        return QAccessibleActionInterface::increaseAction();
    case ui::AccessibilityAction::Decrement:
        return QAccessibleActionInterface::decreaseAction();
    case ui::AccessibilityAction::Focus:
        return QAccessibleActionInterface::setFocusAction();
    }
    return QAccessibleActionInterface::pressAction();
}

QAccessibleInterface* childAtPoint(const QAccessibleInterface& parent, int x, int y)
{
    // Later children lie on top.
    for (int i = parent.childCount() - 1; i >= 0; --i)
        if (QAccessibleInterface* child = parent.child(i); child && child->rect().contains(x, y))
            return child;
    return nullptr;
}

// The desktop window: Qt asks the factory for it and owns what it gets.
class WindowInterface : public QAccessibleInterface {
public:
    explicit WindowInterface(QWindow* window)
        : m_window(window)
    {
    }
    bool isValid() const override { return m_window && HostAccessibility::current(); }
    QObject* object() const override { return m_window; }
    QWindow* window() const override { return m_window; }
    QAccessibleInterface* childAt(int x, int y) const override { return childAtPoint(*this, x, y); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(qApp); }
    QAccessibleInterface* child(int index) const override
    {
        auto* host = HostAccessibility::current();
        if (!host || index < 0)
            return nullptr;
        const auto children = host->rootChildren();
        return size_t(index) < children.size() ? host->interfaceFor(children[size_t(index)]) : nullptr;
    }
    int childCount() const override
    {
        auto* host = HostAccessibility::current();
        return host ? int(host->rootChildren().size()) : 0;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (this->child(i) == child)
                return i;
        return -1;
    }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name && m_window ? m_window->title() : QString(); }
    void setText(QAccessible::Text, const QString&) override { }
    QRect rect() const override { return m_window ? QRect(m_window->mapToGlobal(QPoint(0, 0)), m_window->size()) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::Window; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.active = m_window && m_window->isActive();
        state.invisible = !m_window || !m_window->isVisible();
        return state;
    }

private:
    QPointer<QWindow> m_window;
};

// What a reader asks the element to do runs as a task of the main run loop, as every event of
// the host does: the timers it starts are then waited for, and the reader's call returns at once.
void later(std::function<void()> task)
{
    foundation::RunLoop::main().post(std::move(task));
}

// One element of the screens: a view or a part a view draws.
class ElementInterface : public QAccessibleInterface,
                         public QAccessibleActionInterface,
                         public QAccessibleValueInterface,
                         public QAccessibleTextInterface,
                         public QAccessibleEditableTextInterface {
public:
    ElementInterface(HostAccessibility& host, ui::AccessibilityElement element)
        : m_host(host)
        , m_element(std::move(element))
    {
        const auto now = data();
        m_states = now.states;
        m_text = qs(now.value);
    }

    const ui::AccessibilityElement& element() const { return m_element; }
    ui::AccessibilityData data() const { return ui::accessibilityData(m_element); }
    /// What the element said last, for the changes its announcements carry.
    unsigned lastStates() const { return m_states; }
    void setLastStates(unsigned states) { m_states = states; }
    QString lastText() const { return m_text; }
    void setLastText(const QString& text) { m_text = text; }

    bool isValid() const override
    {
        auto view = m_element.lock();
        return view && view->window();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return &m_host.window(); }
    QAccessibleInterface* childAt(int x, int y) const override { return childAtPoint(*this, x, y); }
    QAccessibleInterface* parent() const override
    {
        auto parent = ui::accessibleParent(m_element);
        if (!parent)
            return nullptr;
        return m_host.interfaceFor(*parent);
    }
    QAccessibleInterface* child(int index) const override
    {
        const auto children = ui::accessibleChildren(m_element);
        return index >= 0 && size_t(index) < children.size() ? m_host.interfaceFor(children[size_t(index)]) : nullptr;
    }
    int childCount() const override { return int(ui::accessibleChildren(m_element).size()); }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* other = dynamic_cast<const ElementInterface*>(child);
        if (!other)
            return -1;
        const auto children = ui::accessibleChildren(m_element);
        const auto it = std::find(children.begin(), children.end(), other->m_element);
        return it == children.end() ? -1 : int(it - children.begin());
    }
    QString text(QAccessible::Text t) const override
    {
        const auto d = data();
        switch (t) {
        case QAccessible::Name:
            return qs(d.name);
        case QAccessible::Description:
            return qs(d.description);
        case QAccessible::Value:
            return d.range ? QString::number(double(d.range->current)) : qs(d.value);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text t, const QString& text) override
    {
        if (t == QAccessible::Value)
            later([element = m_element, text = text.toStdString()] { ui::setAccessibilityText(element, text); });
    }
    QRect rect() const override
    {
        const QRectF local = m_host.window().fromPoints(ui::accessibilityFrame(m_element));
        const QPoint origin = m_host.window().mapToGlobal(QPoint(0, 0));
        return local.translated(origin).toAlignedRect();
    }
    QAccessible::Role role() const override { return qtRole(data().role); }
    QAccessible::State state() const override { return qtState(data()); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        const auto d = data();
        switch (type) {
        case QAccessible::ActionInterface:
            return d.actions.empty() ? nullptr : static_cast<QAccessibleActionInterface*>(this);
        case QAccessible::ValueInterface:
            return d.range ? static_cast<QAccessibleValueInterface*>(this) : nullptr;
        case QAccessible::TextInterface:
            return d.role == ui::AccessibilityRole::EditableText ? static_cast<QAccessibleTextInterface*>(this) : nullptr;
        case QAccessible::EditableTextInterface:
            return d.role == ui::AccessibilityRole::EditableText && d.has(ui::AccessibilityStateEditable)
                ? static_cast<QAccessibleEditableTextInterface*>(this)
                : nullptr;
        default:
            return nullptr;
        }
    }

    // Actions
    QStringList actionNames() const override
    {
        QStringList names;
        for (auto action : data().actions)
            names << qtActionName(action);
        return names;
    }
    void doAction(const QString& name) override
    {
        for (auto action : data().actions)
            if (qtActionName(action) == name) {
                later([element = m_element, action] { ui::performAccessibilityAction(element, action); });
                return;
            }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // Value
    QVariant currentValue() const override
    {
        const auto d = data();
        return d.range ? QVariant(double(d.range->current)) : QVariant();
    }
    void setCurrentValue(const QVariant& value) override
    {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (ok && std::isfinite(number))
            later([element = m_element, number] { ui::setAccessibilityValue(element, float(number)); });
    }
    QVariant maximumValue() const override
    {
        const auto d = data();
        return d.range ? QVariant(double(d.range->maximum)) : QVariant();
    }
    QVariant minimumValue() const override
    {
        const auto d = data();
        return d.range ? QVariant(double(d.range->minimum)) : QVariant();
    }
    QVariant minimumStepSize() const override
    {
        const auto d = data();
        return d.range ? QVariant(double(d.range->step)) : QVariant();
    }

    // Text: the field's text as a whole; no selection is offered.
    QString fieldText() const { return qs(data().value); }
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return int(fieldText().size()); }
    void setCursorPosition(int) override { }
    QString text(int startOffset, int endOffset) const override
    {
        const QString all = fieldText();
        startOffset = std::clamp(startOffset, 0, int(all.size()));
        endOffset = endOffset < 0 ? int(all.size()) : std::clamp(endOffset, startOffset, int(all.size()));
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(fieldText().size()); }
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = std::max(offset, characterCount());
        return {};
    }

    // Editable text: every edit replaces the whole text, as the user typing it would.
    void deleteText(int startOffset, int endOffset) override { replaceText(startOffset, endOffset, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override
    {
        QString all = fieldText();
        startOffset = std::clamp(startOffset, 0, int(all.size()));
        endOffset = std::clamp(endOffset, startOffset, int(all.size()));
        all.replace(startOffset, endOffset - startOffset, text);
        later([element = m_element, all = all.toStdString()] { ui::setAccessibilityText(element, all); });
    }

private:
    HostAccessibility& m_host;
    ui::AccessibilityElement m_element;
    unsigned m_states { 0 };
    QString m_text;
};

QAccessibleInterface* windowFactory(const QString&, QObject* object)
{
    auto* host = HostAccessibility::current();
    if (host && object == &host->window())
        return new WindowInterface(&host->window());
    return nullptr;
}

void sendStateChange(QAccessibleInterface* iface, void (*mark)(QAccessible::State&))
{
    QAccessible::State changed;
    mark(changed);
    QAccessibleStateChangeEvent event(iface, changed);
    QAccessible::updateAccessibility(&event);
}

} // namespace

HostAccessibility::HostAccessibility(HostWindow& window)
    : m_window(window)
    , m_alive(std::make_shared<bool>(true))
{
    g_current = this;
    QAccessible::installFactory(windowFactory);
    ui::setAccessibilityObserver(this);
}

HostAccessibility::~HostAccessibility()
{
    ui::setAccessibilityObserver(nullptr);
    QAccessible::removeFactory(windowFactory);
    for (const auto& [key, iface] : m_interfaces)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    m_interfaces.clear();
    g_current = nullptr;
}

HostAccessibility* HostAccessibility::current()
{
    return g_current;
}

std::vector<ui::AccessibilityElement> HostAccessibility::rootChildren() const
{
    auto root = std::static_pointer_cast<ui::View>(m_window.shownWindow().weak_from_this().lock());
    return root ? ui::accessibleChildren({ root, -1 }) : std::vector<ui::AccessibilityElement>();
}

QAccessibleInterface* HostAccessibility::interfaceFor(const ui::AccessibilityElement& element)
{
    auto view = element.lock();
    if (!view)
        return nullptr;
    if (view.get() == &m_window.shownWindow())
        return QAccessible::queryAccessibleInterface(&m_window);
    const Key key { view.get(), element.part };
    if (auto it = m_interfaces.find(key); it != m_interfaces.end()) {
        auto* known = static_cast<ElementInterface*>(it->second);
        if (known->element() == element)
            return known;
        // A new view at the address of one that has gone.
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
        m_interfaces.erase(it);
    }
    auto* iface = new ElementInterface(*this, element);
    QAccessible::registerAccessibleInterface(iface);
    m_interfaces[key] = iface;
    return iface;
}

void HostAccessibility::accessibilityDidChange(const ui::AccessibilityElement& element, ui::AccessibilityChange change)
{
    if (!QAccessible::isActive())
        return;
    const bool known = std::any_of(m_pending.begin(), m_pending.end(), [&](const Pending& p) { return p.change == change && p.element == element; });
    if (!known)
        m_pending.push_back({ element, change });
    if (m_flushPosted)
        return;
    m_flushPosted = true;
    std::weak_ptr<bool> alive = m_alive;
    QTimer::singleShot(0, [this, alive] {
        if (!alive.expired())
            flush();
    });
}

void HostAccessibility::flush()
{
    m_flushPosted = false;
    auto pending = std::move(m_pending);
    m_pending.clear();
    if (QAccessible::isActive())
        for (const auto& p : pending)
            send(p.element, p.change);
    dropGoneInterfaces();
}

ui::AccessibilityElement HostAccessibility::readElement(const ui::AccessibilityElement& element) const
{
    if (ui::accessibilityData(element).role != ui::AccessibilityRole::None)
        return element;
    auto parent = ui::accessibleParent(element);
    return parent ? *parent : element;
}

void HostAccessibility::send(const ui::AccessibilityElement& changed, ui::AccessibilityChange change)
{
    const ui::AccessibilityElement element = readElement(changed);
    QAccessibleInterface* iface = interfaceFor(element);
    if (!iface)
        return;
    auto* own = dynamic_cast<ElementInterface*>(iface);
    switch (change) {
    case ui::AccessibilityChange::Focus: {
        QAccessibleEvent event(iface, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
        break;
    }
    case ui::AccessibilityChange::Name: {
        QAccessibleEvent event(iface, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
        break;
    }
    case ui::AccessibilityChange::Value: {
        const auto data = ui::accessibilityData(element);
        if (data.range) {
            QAccessibleValueChangeEvent event(iface, double(data.range->current));
            QAccessible::updateAccessibility(&event);
        } else if (own && data.role == ui::AccessibilityRole::EditableText) {
            const QString text = qs(data.value);
            if (text != own->lastText()) {
                QAccessibleTextUpdateEvent event(iface, 0, own->lastText(), text);
                QAccessible::updateAccessibility(&event);
                own->setLastText(text);
            }
        }
        break;
    }
    case ui::AccessibilityChange::State:
    case ui::AccessibilityChange::Selection: {
        // A list's selection is told on the rows whose selected state changed.
        std::vector<ui::AccessibilityElement> elements { element };
        if (change == ui::AccessibilityChange::Selection)
            elements = ui::accessibleChildren(element);
        for (const auto& target : elements) {
            auto* targetInterface = dynamic_cast<ElementInterface*>(interfaceFor(target));
            if (!targetInterface)
                continue;
            const unsigned now = ui::accessibilityData(target).states;
            const unsigned differ = now ^ targetInterface->lastStates();
            targetInterface->setLastStates(now);
            if (differ & ui::AccessibilityStateChecked)
                sendStateChange(targetInterface, [](QAccessible::State& s) { s.checked = true; });
            if (differ & ui::AccessibilityStateDisabled)
                sendStateChange(targetInterface, [](QAccessible::State& s) { s.disabled = true; });
            if (differ & ui::AccessibilityStateFocused)
                sendStateChange(targetInterface, [](QAccessible::State& s) { s.focused = true; });
            if (differ & ui::AccessibilityStateSelected) {
                QAccessibleEvent event(targetInterface, QAccessible::Selection);
                QAccessible::updateAccessibility(&event);
            }
        }
        break;
    }
    case ui::AccessibilityChange::ScreenShown: {
        QAccessibleEvent shown(iface, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
        if (auto parent = ui::accessibleParent(element))
            if (QAccessibleInterface* parentInterface = interfaceFor(*parent)) {
                QAccessibleEvent reorder(parentInterface, QAccessible::ObjectReorder);
                QAccessible::updateAccessibility(&reorder);
            }
        break;
    }
    case ui::AccessibilityChange::Children: {
        QAccessibleEvent event(iface, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&event);
        break;
    }
    }
}

void HostAccessibility::dropGoneInterfaces()
{
    for (auto it = m_interfaces.begin(); it != m_interfaces.end();) {
        auto* iface = static_cast<ElementInterface*>(it->second);
        if (iface->element().view.expired()) {
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
            it = m_interfaces.erase(it);
        } else
            ++it;
    }
}

} // namespace host
