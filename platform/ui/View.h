#pragma once

#include "ui/Accessibility.h"
#include "ui/Responder.h"

#include "graphics/AffineTransform.h"
#include "graphics/Color.h"
#include "graphics/Context.h"
#include "graphics/Geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Window;
struct ViewAnimationState;

/// Autoresizing flags (the platform's values); combined with |.
enum AutoresizingMask : unsigned {
    ViewAutoresizingNone = 0,
    ViewAutoresizingFlexibleLeftMargin = 1,
    ViewAutoresizingFlexibleWidth = 2,
    ViewAutoresizingFlexibleRightMargin = 4,
    ViewAutoresizingFlexibleTopMargin = 8,
    ViewAutoresizingFlexibleHeight = 16,
    ViewAutoresizingFlexibleBottomMargin = 32,
};

/// Transitions of an animation block (the platform's values).
enum class ViewAnimationTransition {
    None = 0,
    FlipFromLeft = 1,
    FlipFromRight = 2,
    CurlUp = 3,
    CurlDown = 4,
};

/// Timing curves of an animation block (the platform's values); EaseInOut is the default.
enum class ViewAnimationCurve {
    EaseInOut = 0,
    EaseIn = 1,
    EaseOut = 2,
    Linear = 3,
};

/// The did-stop callback of an animation block: the block's name, whether its animations ran
/// to their end, and its context.
using AnimationDidStopHandler = std::function<void(const std::string& animationID, bool finished, void* context)>;

/// A rectangle of the screen with its subviews, the base of every control and screen.
///
/// Geometry is in points, origin top left, y down. The frame is derived from the centre, the
/// bounds' size and the transform, which applies about the centre in the superview's space.
///
/// Each animatable property (centre, bounds, transform, alpha, background colour) has a
/// model value, which setters change at once and getters return at once, and a presented
/// value, which is what is drawn: inside an animation block (beginAnimations …
/// commitAnimations) the presented value moves from its old value to the model value over the
/// block's duration along the block's curve. Hit-testing and point conversion use model
/// values, as the platform does.
///
/// Views live in std::shared_ptr; a superview owns its subviews, a subview knows its
/// superview without owning it. Main thread only.
class View : public Responder {
public:
    explicit View(const gfx::Rect& frame = {});
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    /// A shared pointer to this view. The view must be owned by a shared_ptr already.
    std::shared_ptr<View> sharedView() { return std::static_pointer_cast<View>(shared_from_this()); }

    // Geometry (model values)
    /// The bounding box of the transformed bounds in the superview. Setting it sets the
    /// centre and the bounds' size (exact for the identity transform only, as on the platform).
    gfx::Rect frame() const;
    void setFrame(const gfx::Rect& frame);
    gfx::Rect bounds() const { return m_bounds; }
    void setBounds(const gfx::Rect& bounds);
    gfx::Point center() const { return m_center; }
    void setCenter(gfx::Point center);
    gfx::AffineTransform transform() const { return m_transform; }
    void setTransform(const gfx::AffineTransform& transform);
    float alpha() const { return m_alpha; }
    /// Clamped to 0–1.
    void setAlpha(float alpha);
    /// None paints nothing behind the content, like the clear colour.
    std::optional<gfx::Color> backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::optional<gfx::Color> color);

    // Presented values: what is drawn now (equal to the model values when nothing animates).
    gfx::Point presentedCenter() const;
    gfx::Rect presentedBounds() const;
    gfx::AffineTransform presentedTransform() const;
    float presentedAlpha() const;
    std::optional<gfx::Color> presentedBackgroundColor() const;
    /// Whether some property of this view is being animated or waits for its block to start.
    bool isAnimating() const;

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool clipsToBounds() const { return m_clipsToBounds; }
    void setClipsToBounds(bool clips);
    /// Whether touches may land on this view and its subviews.
    bool isUserInteractionEnabled() const { return m_userInteractionEnabled; }
    void setUserInteractionEnabled(bool enabled);
    /// Whether the view claims to paint every pixel of its bounds (a hint; nothing relies on it).
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    /// Whether a change of the bounds' size resizes the subviews by their masks (default true).
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool value) { m_autoresizesSubviews = value; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    /// What a screen reader says of the view besides its name (why a control is dimmed, say);
    /// empty by default.
    const std::string& accessibilityDescription() const { return m_accessibilityDescription; }
    void setAccessibilityDescription(std::string description) { m_accessibilityDescription = std::move(description); }
    /// A name the screen gives the view (a button showing only a picture); empty: the view's own.
    const std::string& accessibilityName() const { return m_accessibilityName; }
    void setAccessibilityName(std::string name);
    /// A role the screen gives the view instead of its own; none by default.
    std::optional<AccessibilityRole> accessibilityRole() const { return m_accessibilityRole; }
    void setAccessibilityRole(std::optional<AccessibilityRole> role) { m_accessibilityRole = role; }
    /// This view if its tag is tag, else the first match in its subviews, depth first.
    std::shared_ptr<View> viewWithTag(int tag);

    // Hierarchy
    View* superview() const { return m_superview; }
    /// Subviews from back to front.
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    /// Adds view on top of the others (moving it from its old superview). Adding a view to
    /// itself or to one of its own subviews is refused with a log line.
    void addSubview(const std::shared_ptr<View>& view);
    /// Inserts view at index (clamped to the number of subviews).
    void insertSubviewAtIndex(const std::shared_ptr<View>& view, size_t index);
    void insertSubviewAboveSubview(const std::shared_ptr<View>& view, const View* sibling);
    void insertSubviewBelowSubview(const std::shared_ptr<View>& view, const View* sibling);
    /// Moves a subview to the top; does nothing for a view that is not a subview.
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    /// Takes the view out of its superview; nothing without one.
    void removeFromSuperview();
    bool isDescendantOfView(const View* view) const;
    /// The window the view is in, or null.
    Window* window() const;

    /// Hooks for subclasses around hierarchy changes.
    virtual void willMoveToSuperview(View* newSuperview) { (void)newSuperview; }
    virtual void didMoveToSuperview() { }
    virtual void didMoveToWindow() { }
    virtual void didAddSubview(View* subview) { (void)subview; }
    virtual void willRemoveSubview(View* subview) { (void)subview; }

    // Layout
    /// Lays the subviews out; the default does nothing (autoresizing already ran).
    virtual void layoutSubviews() { }
    /// Asks for layoutSubviews before the next drawing.
    void setNeedsLayout();
    /// Runs layoutSubviews now if it was asked for, here and below.
    void layoutIfNeeded();
    /// The size the view would like within size; the default answers its current size.
    virtual gfx::Size sizeThatFits(gfx::Size size) const;
    /// Resizes the view to sizeThatFits(its size), keeping its origin.
    void sizeToFit();

    // Drawing
    /// Draws the view's own content in its bounds' coordinates (after its background). The
    /// context is clipped to what needs repainting; rect is that part of the bounds. The
    /// default draws nothing. May be called whenever the screen is repainted.
    virtual void drawRect(gfx::Context& context, const gfx::Rect& rect);
    /// Asks for the view to be drawn again on the next frame.
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const gfx::Rect& rect);
    /// Draws the view and its subviews into context in the view's own coordinates (the
    /// bounds' origin at the user space origin), with model values: the view's own position
    /// and transform are not applied, its alpha is. What the carousel's reflection renders.
    void renderInContext(gfx::Context& context);
    /// Draws the view, placed in its superview's coordinates by its presented centre and
    /// transform, with presented values throughout (the screen's drawing). dirty limits the
    /// work to a part of the superview's space.
    void drawInSuperviewSpace(gfx::Context& context, const std::optional<gfx::Rect>& dirty);
    /// A picture of the view at the given scale (pixels per point), drawn by renderInContext
    /// in a top-down context; null for an empty view.
    std::shared_ptr<gfx::Image> snapshotImage(float scale, bool presented = false);

    // Events
    /// The deepest visible, interactive view under point (in this view's coordinates), or
    /// null. Hidden views, views with alpha below 0.01 and views that take no touches are
    /// skipped with their subviews; later subviews are tried first.
    virtual View* hitTest(gfx::Point point, const Event* event = nullptr);
    /// Whether point (in this view's coordinates) lies inside its bounds.
    virtual bool pointInside(gfx::Point point, const Event* event = nullptr) const;
    /// Converts point from this view's coordinates to view's (to the window's for null).
    gfx::Point convertPointToView(gfx::Point point, const View* view) const;
    gfx::Point convertPointFromView(gfx::Point point, const View* view) const;
    gfx::Rect convertRectToView(const gfx::Rect& rect, const View* view) const;
    gfx::Rect convertRectFromView(const gfx::Rect& rect, const View* view) const;
    /// Points between this view's and its superview's coordinates.
    gfx::Point convertPointToSuperview(gfx::Point point, bool presented = false) const;
    gfx::Point convertPointFromSuperview(gfx::Point point) const;

    /// Whether the window offers this view each touch that begins in it or below it, before
    /// the view receiving the touch gets it (a scroller watching for a drag). Default false.
    virtual bool watchesTouches() const { return false; }
    /// Called with every phase of a watched touch before the view receiving it gets that
    /// phase, innermost watcher first, until one takes the touch. Returning true takes it
    /// over: the view that had it gets touchesCancelled (unless it is this view), and this
    /// view gets the current phase and every later one. The default takes nothing.
    virtual bool shouldTakeOverTouch(const Touch& touch, const Event& event)
    {
        (void)touch;
        (void)event;
        return false;
    }

    // Accessibility (ui/Accessibility.h reads these; overrides come first there)
    /// What the view is to a screen reader, from its kind and content. The default is role
    /// None: a plain container, whose children are read in its place.
    virtual void fillAccessibilityData(AccessibilityData& data) const;
    /// Parts the view draws itself (tabs, picker rows), read before its child views; none by
    /// default. Their data, and their rectangles in the view's coordinates.
    virtual int accessibilityPartCount() const { return 0; }
    virtual void fillAccessibilityPartData(int part, AccessibilityData& data) const;
    virtual gfx::Rect accessibilityPartFrame(int part) const;
    /// The child views a screen reader reaches, in reading order (top to bottom, then left to
    /// right): the subviews shown, less those behind a later sibling that is modal or lies
    /// opaque over all of them.
    virtual std::vector<View*> accessibilityChildViews() const;
    /// Does action on the view (part -1) or one of its parts as a tap would; false when it
    /// cannot. The default can do nothing.
    virtual bool performAccessibilityAction(AccessibilityAction action, int part);
    /// Sets a value on the view's scale, or its text, as the user would; false by default.
    virtual bool setAccessibilityValue(float value);
    virtual bool setAccessibilityText(const std::string& text);
    /// Whether the keyboard's focus is here: the first responder, or the view Tab put the focus on.
    virtual bool isAccessibilityFocused() const;
    // Keyboard focus (Window::moveKeyboardFocus)
    /// Whether Tab stops at this view: enabled controls, lists, pickers. Default false.
    virtual bool canBecomeKeyboardFocus() const { return false; }
    /// What the focus ring goes round, in the view's coordinates: the bounds by default.
    virtual gfx::Rect keyboardFocusRect() const { return bounds(); }

    Responder* nextResponder() const override;
    /// Makes responder (a view controller) the view's next responder, before its superview.
    /// Not owned; the responder clears it before it goes away.
    void setNextResponderOverride(Responder* responder) { m_nextResponderOverride = responder; }

    // Animation blocks (process-wide, main thread)
    /// Opens a block; changes to animatable properties until the matching commit animate
    /// together. Blocks nest: inner ones take the outer block's duration and curve unless set,
    /// and all start when the outermost block is committed.
    static void beginAnimations(const std::string& animationID = {}, void* context = nullptr);
    /// Ends the innermost block. With no block open it does nothing. When the outermost block
    /// is committed every block in it starts; each one's did-stop callback runs exactly once,
    /// on the main run loop, its duration after the start, also when nothing changed in it.
    static void commitAnimations();
    /// In seconds; default 0.2. Ignored outside a block.
    static void setAnimationDuration(double seconds);
    static void setAnimationCurve(ViewAnimationCurve curve);
    /// The object whose lifetime the did-stop callback depends on: the callback runs only if
    /// it is still alive then, and it is kept alive during the call.
    static void setAnimationDelegate(std::weak_ptr<void> delegate);
    /// What runs when the block stops (the delegate's did-stop selector).
    static void setAnimationDidStopSelector(AnimationDidStopHandler handler);
    /// Shows view changing from its look now to its look at commit with a transition; with
    /// cache the end picture is taken once at commit, else the view is drawn live.
    static void setAnimationTransitionForView(ViewAnimationTransition transition, View* view, bool cache);
    /// With animations disabled, block changes take effect at once (did-stop still runs).
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    /// Whether a block is open.
    static bool isInAnimationBlock();

protected:
    Window* responderWindow() const override { return window(); }

private:
    friend class ViewAnimator;
    friend class Window;

    /// Background, drawRect and subviews in the bounds' coordinates.
    void drawContent(gfx::Context& context, bool presented, const std::optional<gfx::Rect>& dirty);

    void setSuperview(View* superview);
    void notifyMovedToWindow();
    void insertSubview(const std::shared_ptr<View>& view, size_t index);
    void resizeSubviews(gfx::Size oldSize);
    void autoresize(gfx::Size oldSuperSize, gfx::Size newSuperSize);
    /// Marks the screen area the view and its subviews cover (presented) for repainting.
    void invalidateCoveredArea();
    /// The area covered, in window coordinates, with presented values.
    gfx::Rect coveredAreaInWindow() const;
    /// rect (this view's coordinates) in the window's, cut to every clipping ancestor.
    gfx::Rect visibleRectInWindow(const gfx::Rect& rect, bool presented) const;
    gfx::Rect coveredAreaInSelf() const;
    gfx::AffineTransform toSuperviewTransform(bool presented) const;
    /// From this view's coordinates to its root's (the window's), and to view's (the root's
    /// for null), with model values.
    gfx::AffineTransform transformToRoot() const;
    gfx::AffineTransform transformToView(const View* view) const;

    gfx::Point m_center;
    gfx::Rect m_bounds;
    gfx::AffineTransform m_transform;
    float m_alpha { 1 };
    std::optional<gfx::Color> m_backgroundColor;
    bool m_hidden { false };
    bool m_clipsToBounds { false };
    bool m_userInteractionEnabled { true };
    bool m_opaque { false };
    bool m_autoresizesSubviews { true };
    bool m_needsLayout { true };
    unsigned m_autoresizingMask { ViewAutoresizingNone };
    int m_tag { 0 };
    std::string m_accessibilityDescription;
    std::string m_accessibilityName;
    std::optional<AccessibilityRole> m_accessibilityRole;
    View* m_superview { nullptr };
    Responder* m_nextResponderOverride { nullptr };
    std::vector<std::shared_ptr<View>> m_subviews;
    std::unique_ptr<ViewAnimationState> m_animation;
};

} // namespace ui
