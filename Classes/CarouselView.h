#pragma once

#include "graphics/AffineTransform.h"
#include "ui/ImageView.h"
#include "ui/View.h"

#include <array>
#include <memory>
#include <string>

class CarouselView;

/// The identifiers the carousel reports to its delegate, one per kind of animation.
enum CarouselAnimation : int {
    CarouselAnimationPopulate = 1,
    CarouselAnimationShift = 2,
    CarouselAnimationPopLeft = 3,
    CarouselAnimationPopRight = 4,
    CarouselAnimationRestore = 5,
    CarouselAnimationReplace = 6,
};

/// How makeViewActiveWithRotationStyle turns: the shortest way, always clockwise, or always
/// counter-clockwise.
enum CarouselRotationStyle : int {
    CarouselRotationShortestWay = 0,
    CarouselRotationClockwise = 1,
    CarouselRotationCounterClockwise = 2,
};

/// Told when one of the carousel's animation sequences has ended.
class CarouselViewDelegate {
public:
    virtual ~CarouselViewDelegate() = default;
    /// identifier: 1 filled, 2 turned, 3 popped left, 4 popped right, 5 popped view restored,
    /// 6 view replaced. Called on the main thread once per sequence (a turn of several shifts
    /// and a pop of eight steps report once, at their end). The default does nothing.
    virtual void carouselViewDidFinishAnimation(CarouselView* carouselView, int identifier)
    {
        (void)carouselView;
        (void)identifier;
    }
};

/// The studio's turntable of four content views (slots A to D) on four positions: front,
/// right, back and left. Each slot's content view hangs in a 200-point square container with
/// its faded mirror image below it; what turns is each container's transform, and a
/// container's position is known only by comparing its transform for exact equality with the
/// four position transforms. The front container is full size, opaque and the only one that
/// takes touches; the others are shrunk, pushed back and dimmed to 0.3.
///
/// The carousel owns its content views, containers and reflections; the delegate is not
/// owned. Every animation is a view animation block whose did-stop runs the next step of a
/// sequence or reports to the delegate. Main thread only; the carousel must be owned by a
/// std::shared_ptr (its animation blocks hold it weakly).
class CarouselView : public ui::View {
public:
    /// Computes the position and pop transforms from frame's size; no subviews yet.
    explicit CarouselView(const gfx::Rect& frame);

    /// The content views of slots A to D (null before filling).
    const std::shared_ptr<ui::View>& viewA() const { return m_slots[0].view; }
    const std::shared_ptr<ui::View>& viewB() const { return m_slots[1].view; }
    const std::shared_ptr<ui::View>& viewC() const { return m_slots[2].view; }
    const std::shared_ptr<ui::View>& viewD() const { return m_slots[3].view; }

    /// The front, right, back and left positions.
    const gfx::AffineTransform& transformA() const { return m_transformA; }
    const gfx::AffineTransform& transformB() const { return m_transformB; }
    const gfx::AffineTransform& transformC() const { return m_transformC; }
    const gfx::AffineTransform& transformD() const { return m_transformD; }

    /// When true, every report to the delegate is followed by restorePoppedView.
    bool autoRestorePoppedView() const { return m_autoRestorePoppedView; }
    void setAutoRestorePoppedView(bool value) { m_autoRestorePoppedView = value; }
    std::weak_ptr<CarouselViewDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<CarouselViewDelegate> delegate) { m_delegate = std::move(delegate); }

    /// Puts the four views into four new containers with their reflections and places them
    /// front, right, back and left. Animated (identifier 1, 0.6 s), the back three slide out
    /// of the front position and dim; otherwise everything is placed at once and nothing is
    /// reported. Containers of an earlier filling stay where they are. A null view leaves its
    /// slot's container empty.
    void populateCarouselWithViewAViewBViewCAndViewDAnimated(std::shared_ptr<ui::View> a, std::shared_ptr<ui::View> b,
        std::shared_ptr<ui::View> c, std::shared_ptr<ui::View> d, bool animated);
    /// Turns the carousel so that view's container comes to the front: style 0 the shortest
    /// way, 1 always clockwise, 2 always counter-clockwise (other values count as 0). Does
    /// nothing at all, not even a report, for a view already at the front, a popped one or
    /// one without a container.
    void makeViewActiveWithRotationStyle(const ui::View* view, int style);
    /// Runs n one-step shifts one after another (positive clockwise), closing every container
    /// to touches until the last one ends; 0 does nothing.
    void rotateCarousel(int shifts);
    /// One animated shift (identifier 2, 0.6 s): front to left, right to front, back to right,
    /// left to back. An empty position turns along with the others.
    void performClockwiseShift();
    /// One animated shift the other way: front to right, right to back, back to left, left to front.
    void performCounterClockwiseShift();
    /// Alpha 1.0 for the front container, 0.3 for the others at a position.
    void spotlightActiveView();
    /// Swaps oldView for newView in its slot with a transition (identifier 6, 0.5 s) and renews
    /// the slot's reflection. Does nothing when oldView is in none of the carousel's slots.
    /// The container stays closed to touches until a turn brings it to the front.
    void replaceViewWithViewWithTransitionStyle(const ui::View* oldView, std::shared_ptr<ui::View> newView, ui::ViewAnimationTransition style);
    /// Renders view's reflection again from how it looks now; nothing for a view outside a
    /// container or whose container has no reflection.
    void invalidateReflectionOfView(ui::View* view);

    /// The container, reflection or content view of the first slot (A to D) whose container's
    /// transform equals transform; null when none has it.
    std::shared_ptr<ui::View> getViewContainerWithTransform(const gfx::AffineTransform& transform) const;
    /// A screen reader reaches only the front container, and only while it takes touches: the
    /// others stand behind it, dimmed, and a turning carousel takes no touches.
    std::vector<ui::View*> accessibilityChildViews() const override;
    std::shared_ptr<ui::ImageView> getViewReflectionWithTransform(const gfx::AffineTransform& transform) const;
    std::shared_ptr<ui::View> getViewWithTransform(const gfx::AffineTransform& transform) const;

    /// The completion of every animation block: runs the next shift or pop step of a sequence,
    /// or reports the finished sequence to the delegate.
    void transitionDidStopFinishedContext(const std::string& animationID, bool finished, void* context);

    /// One step of tossing the front container off to the left (identifier 3, 0.055 s each;
    /// the completion runs the other seven). Does nothing when no container is at the front.
    void popActiveViewLeft();
    /// The same to the right (identifier 4).
    void popActiveViewRight();
    /// The popped container (the first in slot order), or null.
    std::shared_ptr<ui::View> getPoppedView() const;
    /// Puts the popped container at the first free position (front, right, back, left) at
    /// once and fades it in (identifier 5, 0.6 s); nothing when nothing is popped.
    void restorePoppedView();

private:
    /// A content view with its container and reflection; they stay together for the
    /// carousel's life (the view is replaced only by replaceViewWithViewWithTransitionStyle).
    struct Slot {
        std::shared_ptr<ui::View> view;
        std::shared_ptr<ui::View> container;
        std::shared_ptr<ui::ImageView> reflection;
    };
    /// A position and the alpha of a container standing there.
    struct Position {
        gfx::AffineTransform transform;
        float alpha;
    };
    /// Front, right, back and left.
    std::array<Position, 4> positions() const;
    const Slot* slotWithContainerTransform(const gfx::AffineTransform& transform) const;
    /// Opens a block whose did-stop reports identifier to transitionDidStopFinishedContext.
    void beginAnimationBlock(int identifier, double duration);
    void shift(bool clockwise);
    void popStep(const std::array<gfx::AffineTransform, 8>& steps, int identifier);
    void report(int identifier);

    /// Slots A, B, C, D: the content views (viewA … viewD), their containers
    /// (viewAContainer … viewDContainer) and reflections (viewAReflection … viewDReflection).
    std::array<Slot, 4> m_slots;
    bool m_autoRestorePoppedView { false };
    std::weak_ptr<CarouselViewDelegate> m_delegate;
    gfx::AffineTransform m_transformA;
    gfx::AffineTransform m_transformB;
    gfx::AffineTransform m_transformC;
    gfx::AffineTransform m_transformD;
    /// One-step shifts still to run in the current turn: positive clockwise.
    int m_animationStepCounter { 0 };
    /// Key frames 1 to 8 of the pops (index 0 is step 1).
    std::array<gfx::AffineTransform, 8> m_popLeftTransnformStep;
    std::array<gfx::AffineTransform, 8> m_popRightTransnformStep;
    /// The container being popped, or null.
    std::shared_ptr<ui::View> m_popAnimatingView;
    /// The containers' frame, fixed by the carousel's size at creation.
    gfx::Rect m_containerFrame;
};
