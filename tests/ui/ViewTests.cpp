#include "UiTestSupport.h"

#include "ui/Application.h"
#include "ui/ImageView.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ui;
using gfx::AffineTransform;
using gfx::Point;
using gfx::Rect;

namespace {

class ViewTest : public uitest::UiTest { };

// A recording responder: which touches and keys reached it.
class TouchRecorder : public View {
public:
    using View::View;
    std::vector<std::string> log;
    bool canBecomeFirstResponder() const override { return true; }
    void touchesBegan(const TouchSet& t, const Event&) override { record("began", t); }
    void touchesMoved(const TouchSet& t, const Event&) override { record("moved", t); }
    void touchesEnded(const TouchSet& t, const Event&) override { record("ended", t); }
    void insertText(const std::string& text) override { log.push_back("text " + text); }
    void keyPressed(Key key) override { log.push_back(key == Key::Return ? "return" : "key"); }

private:
    void record(const char* what, const TouchSet& touches)
    {
        Point p = touches.front()->locationInView(this);
        log.push_back(std::string(what) + " " + std::to_string(int(std::lround(p.x))) + "," + std::to_string(int(std::lround(p.y))));
    }
};

} // namespace

TEST_F(ViewTest, FrameFollowsCentreBoundsAndTransform)
{
    // A carousel container at the right position: 200 x 200 centred in 320 x 310, scale 0.5.
    View container(Rect(60, 5, 200, 200));
    EXPECT_EQ(container.center(), (Point { 160, 105 }));
    container.setTransform(AffineTransform::make(0.5f, 0, 0, 0.5f, 132, -55));
    EXPECT_EQ(container.frame(), Rect(242, 0, 100, 100));
    EXPECT_EQ(container.bounds(), Rect(0, 0, 200, 200));
    // The playback screen's zoom of its 64 x 64 photo button at (12, 12).
    View photo(Rect(12, 12, 64, 64));
    photo.setTransform(AffineTransform::make(5.0f, 0, 0, 4.65f, 116, 105));
    EXPECT_FLOAT_EQ(photo.frame().width(), 320);
    EXPECT_NEAR(photo.frame().height(), 297.6, 1e-3);
    EXPECT_NEAR(photo.frame().midX(), 160, 1e-4);
    EXPECT_NEAR(photo.frame().midY(), 149, 1e-4);
}

TEST_F(ViewTest, HitTestingGoesThroughScaledAndTranslatedViews)
{
    auto window = std::make_shared<Window>();
    auto carousel = std::make_shared<View>(Rect(0, 40, 320, 310));
    window->addSubview(carousel);
    auto front = std::make_shared<View>(Rect(60, 5, 200, 200));
    auto right = std::make_shared<View>(Rect(60, 5, 200, 200));
    right->setTransform(AffineTransform::make(0.5f, 0, 0, 0.5f, 132, -55));
    carousel->addSubview(right);
    carousel->addSubview(front);
    auto button = std::make_shared<View>(Rect(18, 0, 164, 164));
    right->addSubview(button);

    // The right container shows at (242, 40) to (342, 140) in the window; its button's
    // origin lands at (242 + 9, 40).
    Point inWindow { 300, 50 };
    EXPECT_EQ(window->hitTest(inWindow), button.get());
    EXPECT_EQ(button->convertPointFromView(inWindow, nullptr), (Point { 98, 20 }));
    EXPECT_EQ(button->convertPointToView({ 98, 20 }, nullptr), inWindow);
    EXPECT_EQ(button->convertPointToView({ 0, 0 }, front.get()), (Point { 191, -5 }));
    // The front container is on top where they overlap.
    EXPECT_EQ(window->hitTest({ 245, 120 }), front.get());

    // Hidden, untouchable and nearly transparent views are passed over with their subviews.
    front->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest({ 245, 120 }), right.get());
    front->setUserInteractionEnabled(true);
    front->setAlpha(0.005f);
    EXPECT_EQ(window->hitTest({ 245, 120 }), right.get());
    front->setHidden(true);
    right->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest(inWindow), carousel.get());
    EXPECT_EQ(window->hitTest({ 10, 10 }), window.get());
    EXPECT_EQ(window->hitTest({ 400, 10 }), nullptr);
}

TEST_F(ViewTest, SubviewOrderAndHierarchy)
{
    auto root = std::make_shared<View>(Rect(0, 0, 100, 100));
    auto a = std::make_shared<View>(), b = std::make_shared<View>(), c = std::make_shared<View>();
    root->addSubview(a);
    root->addSubview(b);
    root->insertSubviewAtIndex(c, 0);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>> { c, a, b }));
    root->bringSubviewToFront(c.get());
    EXPECT_EQ(root->subviews().back(), c);
    root->addSubview(a); // already there: moves to the top
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<View>> { b, c, a }));
    a->addSubview(root); // a cycle is refused
    EXPECT_EQ(root->superview(), nullptr);
    b->setTag(7);
    EXPECT_EQ(root->viewWithTag(7), b);
    b->removeFromSuperview();
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(root->subviews().size(), 2u);
    c->addSubview(a);
    EXPECT_EQ(a->superview(), c.get());
    EXPECT_EQ(root->subviews().size(), 1u);
}

TEST_F(ViewTest, FlexibleTopMarginKeepsPanelsAtTheBottom)
{
    // Built 460 tall, shown 367 tall: the panels' top edges move up by the difference.
    auto screen = std::make_shared<View>(Rect(0, 0, 320, 460));
    auto panel = std::make_shared<View>(Rect(0, 400, 320, 90));
    panel->setAutoresizingMask(ViewAutoresizingFlexibleTopMargin);
    panel->setTransform(AffineTransform::makeTranslation(0, 60));
    auto stretchy = std::make_shared<View>(Rect(10, 10, 300, 440));
    stretchy->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    screen->addSubview(panel);
    screen->addSubview(stretchy);
    screen->setFrame(Rect(0, 0, 320, 367));
    EXPECT_EQ(panel->center().y, 445 - 93);
    EXPECT_EQ(panel->bounds().size, (gfx::Size { 320, 90 }));
    EXPECT_EQ(stretchy->frame(), Rect(10, 10, 300, 347));
    // Flexible left and right margins share the change in proportion to their lengths.
    auto centred = std::make_shared<View>(Rect(10, 0, 20, 10));
    centred->setAutoresizingMask(ViewAutoresizingFlexibleLeftMargin | ViewAutoresizingFlexibleRightMargin);
    auto box = std::make_shared<View>(Rect(0, 0, 60, 10));
    box->addSubview(centred);
    box->setFrame(Rect(0, 0, 100, 10));
    EXPECT_EQ(centred->frame(), Rect(20, 0, 20, 10));
}

TEST_F(ViewTest, TouchesGoToTheViewThatWasHitAndTextToTheFirstResponder)
{
    auto window = std::make_shared<Window>();
    window->makeKeyAndVisible();
    auto target = std::make_shared<TouchRecorder>(Rect(100, 100, 50, 50));
    target->setTransform(AffineTransform::makeScale(2, 2));
    window->addSubview(target);
    window->sendTouch(1, TouchPhase::Began, { 126, 126 });
    window->sendTouch(1, TouchPhase::Moved, { 300, 300 }); // far outside: still the same view
    window->sendTouch(1, TouchPhase::Ended, { 300, 300 });
    window->sendTouch(2, TouchPhase::Moved, { 1, 1 }); // unknown touch: ignored
    EXPECT_EQ(target->log, (std::vector<std::string> { "began 26,26", "moved 113,113", "ended 113,113" }));

    // A touch on a plain view travels up the responder chain to its superview.
    auto child = std::make_shared<View>(Rect(0, 0, 10, 10));
    target->addSubview(child);
    target->log.clear();
    window->sendTouch(3, TouchPhase::Began, { 76, 76 });
    EXPECT_EQ(target->log, (std::vector<std::string> { "began 1,1" }));

    window->sendText("ignored");
    EXPECT_TRUE(target->becomeFirstResponder());
    EXPECT_TRUE(target->isFirstResponder());
    window->sendText("Memo");
    window->sendKey(Key::Return);
    EXPECT_EQ(target->log.back(), "return");
    EXPECT_EQ(target->log[target->log.size() - 2], "text Memo");
    target->removeFromSuperview();
    EXPECT_EQ(window->firstResponder(), nullptr);
    // A plain view refuses to become first responder.
    EXPECT_FALSE(child->becomeFirstResponder());
}

TEST_F(ViewTest, RenderedViewPixelsAreUprightTopDownAndMirroredBottomUp)
{
    auto view = std::make_shared<View>(Rect(50, 50, 10, 20));
    view->setBackgroundColor(gfx::Color::rgba(1, 0, 0));
    view->addSubview(coloured(Rect(0, 10, 10, 10), gfx::Color::rgba(0, 0, 1)));
    view->setTransform(AffineTransform::makeScale(3, 3)); // not applied: the view's own space

    auto upright = gfx::BitmapContext::create(10, 20, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    view->renderInContext(*upright);
    EXPECT_EQ(upright->bitmap().pixelAt(5, 2), (gfx::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(upright->bitmap().pixelAt(5, 17), (gfx::Pixel { 0, 0, 255, 255 }));

    // The reflection's way: the bottom 8 points of the view, mirrored, into a y-up bitmap.
    const int h = 8;
    auto reflection = gfx::BitmapContext::create(10, h, gfx::PixelFormat::RGBAPremultiplied);
    reflection->translateCTM(0, -(20 - h));
    view->renderInContext(*reflection);
    EXPECT_EQ(reflection->bitmap().pixelAt(5, 0), (gfx::Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(reflection->bitmap().pixelAt(5, h - 1), (gfx::Pixel { 0, 0, 255, 255 }));
    // With h = 20 the whole view is mirrored: red ends at the bottom.
    auto whole = gfx::BitmapContext::create(10, 20, gfx::PixelFormat::RGBAPremultiplied);
    view->renderInContext(*whole);
    EXPECT_EQ(whole->bitmap().pixelAt(5, 19), (gfx::Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(whole->bitmap().pixelAt(5, 0), (gfx::Pixel { 0, 0, 255, 255 }));

    // Alpha multiplies down the tree; hidden views are not drawn.
    view->subviews().front()->setAlpha(0.5f);
    auto faded = gfx::BitmapContext::create(10, 20, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    view->renderInContext(*faded);
    gfx::Pixel mixed = faded->bitmap().pixelAt(5, 15);
    EXPECT_NEAR(mixed.red, 128, 2);
    EXPECT_NEAR(mixed.blue, 128, 2);
}

TEST_F(ViewTest, WindowDrawsItsTreeAndTheStatusBar)
{
    Application::sharedApplication().setStatusBarStyle(StatusBarStyle::BlackOpaque);
    auto window = std::make_shared<Window>();
    window->setBackgroundColor(gfx::Color::black());
    window->addSubview(coloured(Rect(0, 20, 320, 460), gfx::Color::white()));
    auto panel = coloured(Rect(0, 400, 320, 90), gfx::Color::rgba(0, 1, 0));
    panel->setTransform(AffineTransform::makeTranslation(0, 60));
    window->addSubview(panel);
    auto screen = renderScreen(*window);
    EXPECT_EQ(screen->bitmap().pixelAt(160, 200), (gfx::Pixel { 255, 255, 255, 255 }));
    EXPECT_EQ(screen->bitmap().pixelAt(160, 455), (gfx::Pixel { 255, 255, 255, 255 }));
    EXPECT_EQ(screen->bitmap().pixelAt(160, 465), (gfx::Pixel { 0, 255, 0, 255 }));
    // The black opaque status bar is black, with white text somewhere in its middle.
    EXPECT_EQ(screen->bitmap().pixelAt(100, 2), (gfx::Pixel { 0, 0, 0, 255 }));
    int light = 0;
    for (int x = 120; x < 200; ++x)
        for (int y = 0; y < 20; ++y)
            light += screen->bitmap().pixelAt(x, y).red > 128;
    EXPECT_GT(light, 20);
}

TEST_F(ViewTest, ARepaintUnderATranslucentViewStartsFromTheBlackScreen)
{
    // The frame buffer holds the last frame (red here); a repaint of part of it under a view
    // that is see-through must not let that show: the screen below every window is black.
    auto window = std::make_shared<Window>();
    auto veil = coloured(Rect(0, 20, 320, 460), gfx::Color::white());
    veil->setAlpha(0.5f);
    window->addSubview(veil);
    auto context = gfx::BitmapContext::create(320, 480, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    context->fillRect(Rect(0, 0, 320, 480), gfx::Color::rgba(1, 0, 0));
    window->drawScreen(*context, Rect(0, 100, 320, 100));
    const gfx::Pixel grey = context->bitmap().pixelAt(160, 150);
    EXPECT_EQ(grey.red, grey.green) << "white over black, not over the old red";
    EXPECT_NEAR(grey.red, 128, 3);
    // An opaque view covering the area needs no black first, and still shows whole.
    veil->setAlpha(1);
    window->drawScreen(*context, Rect(0, 100, 320, 100));
    EXPECT_EQ(context->bitmap().pixelAt(160, 150), (gfx::Pixel { 255, 255, 255, 255 }));
}

TEST_F(ViewTest, ImagesByNameFollowTheScreenScale)
{
    auto twice = imageNamed("status_battery.png");
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->scale(), 2);
    Screen::mainScreen().setScale(1);
    auto once = imageNamed("status_battery.png");
    ASSERT_TRUE(once);
    EXPECT_EQ(once->scale(), 1);
    EXPECT_EQ(once->size(), twice->size());
    EXPECT_EQ(twice->pixelWidth(), 2 * once->pixelWidth());
    EXPECT_EQ(imageNamed("no_such_image.png"), nullptr);

    ImageView view(once);
    EXPECT_EQ(view.frame(), Rect(gfx::Point {}, once->size()));
    EXPECT_FALSE(view.isUserInteractionEnabled());
}
