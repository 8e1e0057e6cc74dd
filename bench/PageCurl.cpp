// One frame of a page curl half way through, at 2x, against the same window drawn plainly in
// the same run. The page is a screen's details area (labels, a picture, three buttons) over a
// grouped background, as the playback screen steps between recordings. Prints the median
// frame time of each, their ratio, and whether the curl fits a 60 Hz frame.
#include "foundation/Clock.h"
#include "foundation/RunLoop.h"
#include "graphics/Context.h"
#include "ui/Appearance.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/ViewAnimator.h"
#include "ui/Window.h"

#include "Reporters.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr float kScale = 2;
constexpr double kFrameBudgetMs = 1000.0 / 60;

std::shared_ptr<gfx::Image> picture()
{
    auto context = gfx::BitmapContext::create(128, 128, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    context->fillRect(gfx::Rect(0, 0, 128, 128), gfx::Color::rgba(0.8f, 0.3f, 0.1f));
    context->fillRect(gfx::Rect(32, 32, 64, 64), gfx::Color::rgba(0.2f, 0.5f, 0.9f));
    return context->makeImage(2);
}

std::shared_ptr<ui::Label> label(const gfx::Rect& frame, const std::string& text, float size)
{
    auto view = std::make_shared<ui::Label>(frame);
    view->setText(text);
    view->setFont(gfx::Font::systemFont(size));
    view->setBackgroundColor(gfx::Color::clear());
    view->setNumberOfLines(0);
    return view;
}

struct Scene {
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::View> content;
    std::shared_ptr<ui::Label> title;
};

// The window of a pushed screen: navigation bar room, then the details area.
Scene buildScene()
{
    Scene scene;
    scene.window = std::make_shared<ui::Window>();
    scene.window->setBackgroundColor(gfx::Color::black());
    scene.content = std::make_shared<ui::View>(gfx::Rect(0, 64, 320, 296));
    scene.content->setBackgroundColor(ui::groupTableViewBackgroundColor());
    auto photo = std::make_shared<ui::ImageView>(gfx::Rect(12, 12, 64, 64));
    photo->setImage(picture());
    scene.content->addSubview(photo);
    scene.title = label(gfx::Rect(88, 12, 220, 32), "Meeting notes", 16);
    scene.content->addSubview(scene.title);
    scene.content->addSubview(label(gfx::Rect(88, 40, 220, 24), "Category: Meetings", 15));
    scene.content->addSubview(label(gfx::Rect(12, 88, 296, 24), "Recorded: December 8, 2026 12:00 PM", 15));
    scene.content->addSubview(label(gfx::Rect(12, 112, 296, 24), "Duration: 1:05 (1.4 MB)", 15));
    scene.content->addSubview(label(gfx::Rect(12, 136, 296, 24), "Comments:", 15));
    scene.content->addSubview(label(gfx::Rect(12, 156, 296, 60), "Budget for next year, the new office and who takes the minutes.", 15));
    for (float x : { 12.0f, 164.0f }) {
        auto button = std::make_shared<ui::View>(gfx::Rect(x, 226, 144, 48));
        button->setBackgroundColor(x < 100 ? gfx::Color::rgba(0.7f, 0.1f, 0.05f) : gfx::Color::rgba(0.1f, 0.3f, 0.7f));
        scene.content->addSubview(button);
    }
    scene.window->addSubview(scene.content);
    scene.window->makeKeyAndVisible();
    return scene;
}


void drawFrames(benchmark::State& state, Scene& scene)
{
    auto frame = gfx::BitmapContext::create(640, 960, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    frame->scaleCTM(kScale, kScale);
    for (auto _ : state) {
        scene.window->drawScreen(*frame);
        benchmark::DoNotOptimize(frame->bitmap().data());
    }
}

void BM_PlainFrame(benchmark::State& state)
{
    Scene scene = buildScene();
    drawFrames(state, scene);
}

// The clock stands still half way through a curl up, so every frame draws the same bend.
void BM_CurlFrame(benchmark::State& state)
{
    Scene scene = buildScene();
    ui::View::beginAnimations();
    ui::View::setAnimationDuration(1.0);
    ui::View::setAnimationCurve(ui::ViewAnimationCurve::Linear);
    ui::View::setAnimationTransitionForView(ui::ViewAnimationTransition::CurlUp, scene.content.get(), true);
    scene.title->setText("Shopping list");
    ui::View::commitAnimations();
    foundation::RunLoop::main().runFor(0.5);
    if (!ui::ViewAnimator::shared().transition(*scene.content)) {
        state.SkipWithError("no curl is running");
        return;
    }
    drawFrames(state, scene);
    foundation::RunLoop::main().runFor(1.0);
}


} // namespace

BENCHMARK(BM_PlainFrame)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_CurlFrame)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    gfx::Font::prepareTextSystem();
    foundation::RunLoop::resetMain(std::make_shared<foundation::ManualClock>());
    ui::Screen::mainScreen().setScale(kScale);
    benchmark::Initialize(&argc, argv);
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double plain = reporter.median("BM_PlainFrame"), curl = reporter.median("BM_CurlFrame");
    if (plain > 0 && curl > 0)
        std::printf("Page curl half way at 2x: median %.3f ms a frame, the same window drawn plainly %.3f ms; ratio %.2f; %s the %.1f-ms frame of 60 Hz\n",
            curl, plain, curl / plain, curl <= kFrameBudgetMs ? "fits" : "DOES NOT FIT", kFrameBudgetMs);
    benchmark::Shutdown();
    return 0;
}
