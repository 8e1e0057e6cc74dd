#pragma once

// Frame timing shared by the fling benchmarks: the offsets of a fling through a list, each
// frame's wall and CPU time, and their percentiles.

#include "graphics/Context.h"
#include "ui/ScrollMomentum.h"
#include "ui/TableView.h"
#include "ui/Window.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

// The offsets of a fling through the whole table: a flick at 8000 points per second, flicked
// again whenever it slows below 3000, one offset per 60 Hz frame until the end.
inline std::vector<float> flingOffsets(float maximum)
{
    ui::ScrollMomentum momentum;
    momentum.setLimits(0, maximum);
    momentum.setBounces(false);
    std::vector<float> offsets;
    momentum.releasedWithVelocity(0, 8000);
    while (momentum.position() < maximum) {
        if (std::abs(momentum.velocity()) < 3000)
            momentum.releasedWithVelocity(momentum.position(), 8000);
        offsets.push_back(float(momentum.advance(1.0 / 60)));
    }
    return offsets;
}

// Each frame's wall time and the CPU time of this thread in it: on a shared machine the
// wall time also counts the time other programs ran.
struct FrameTimes {
    std::vector<double> wall;
    std::vector<double> cpu;
};
inline std::map<std::string, FrameTimes> g_frames;

inline double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

class FrameTimer {
public:
    explicit FrameTimer(FrameTimes& times)
        : m_times(times)
    {
    }
    ~FrameTimer()
    {
        m_times.wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_wall).count());
        m_times.cpu.push_back(threadMilliseconds() - m_cpu);
    }

private:
    FrameTimes& m_times;
    std::chrono::steady_clock::time_point m_wall { std::chrono::steady_clock::now() };
    double m_cpu { threadMilliseconds() };
};


// The frame time below which the given fraction of frames lie.
inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    const size_t index = std::min(values.size() - 1, size_t(double(values.size()) * fraction));
    std::nth_element(values.begin(), values.begin() + long(index), values.end());
    return values[index];
}

inline void printFrames(const char* name, const std::vector<double>& frames, const char* kind)
{
    const auto slow = std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 8; });
    std::printf("%s, %s: %zu frames, median %.3f ms, 99th percentile %.3f ms, slowest %.3f ms, %ld over 8 ms\n", name, kind, frames.size(),
        percentile(frames, 0.5), percentile(frames, 0.99), *std::max_element(frames.begin(), frames.end()), long(slow));
}

/// One fling through a table, each frame timed twice in turn: the view system showing the
/// offset (viewFrame) into viewTimes and the baseline painting it (baselineFrame) into
/// baselineTimes, so that a change in the machine's speed meets both alike.
/// The frames of a fling drawn by the views beside the same rows painted directly: both kinds
/// of time for each, and the ratio of their medians against the goal.
inline void printFlingComparison(const char* name, const char* what, const FrameTimes& views, const FrameTimes& direct)
{
    if (views.wall.empty() || direct.wall.empty())
        return;
    printFrames(name, views.wall, "wall time");
    printFrames(name, views.cpu, "thread CPU time");
    printFrames("QPainter directly", direct.wall, "wall time");
    printFrames("QPainter directly", direct.cpu, "thread CPU time");
    std::printf("Fling through %s at 2x: ratio of median frame times %.2f wall, %.2f CPU (goal at most 1.5, no frame over 8 ms)\n", what,
        percentile(views.wall, 0.5) / percentile(direct.wall, 0.5), percentile(views.cpu, 0.5) / percentile(direct.cpu, 0.5));
}

inline void timeFlingAlternately(const std::vector<float>& offsets, FrameTimes& viewTimes, const std::function<void(float)>& viewFrame,
    FrameTimes& baselineTimes, const std::function<void(float)>& baselineFrame)
{
    for (float y : offsets) {
        {
            FrameTimer timer(viewTimes);
            viewFrame(y);
        }
        {
            FrameTimer timer(baselineTimes);
            baselineFrame(y);
        }
    }
}

/// A fling through table, shown in window and drawn into a 2x frame, alternating frame by
/// frame with directFrame painting the same rows; once per iteration of state. Answers the
/// number of frames of one fling.
inline size_t timeTableFlingAlternately(benchmark::State& state, ui::Window& window, ui::TableView& table, FrameTimes& views,
    FrameTimes& direct, const std::function<void(float)>& directFrame)
{
    auto frame = gfx::BitmapContext::create(640, 960, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    frame->scaleCTM(2, 2);
    window.setDisplayHandler([&](const gfx::Rect& dirty) { window.drawScreen(*frame, dirty); });
    window.displayIfNeeded();
    const auto offsets = flingOffsets(table.maximumContentOffset().y);
    for (auto _ : state) {
        timeFlingAlternately(
            offsets, views,
            [&](float y) {
                table.setContentOffset({ 0, y });
                window.displayIfNeeded();
            },
            direct, directFrame);
        table.setContentOffset({ 0, 0 });
        window.displayIfNeeded();
    }
    benchmark::DoNotOptimize(frame->bitmap().data());
    window.setDisplayHandler(nullptr);
    return offsets.size();
}

} // namespace bench
