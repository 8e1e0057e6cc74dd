// Flinging through a 10,000-row plain table (100 titled sections of 100 rows) at 2x, on the
// designed 320 x 480 screen and on a tall 500 x 1000 one: each
// frame moves the offset as a fling does, lays the table out (cells reused) and repaints the
// dirty area through the view system. The baseline paints the same rows, headers,
// separators and chevrons at the same offsets with QPainter directly. Prints the median and
// the slowest frame of each and the ratio of the medians.
#include "ui/ScrollMomentum.h"
#include "ui/Screen.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/Window.h"

#include "foundation/RunLoop.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "FrameTiming.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace bench;

constexpr float kScale = 2;
constexpr int kSections = 100;
constexpr int kRowsPerSection = 100;

// The table fills the screen below the status bar.
gfx::Rect tableFrame(gfx::Size screen)
{
    return { 0, 20, screen.width, screen.height - 20 };
}

std::string rowText(const ui::IndexPath& ip)
{
    return "Memo " + std::to_string(ip.section * kRowsPerSection + ip.row + 1) + " at the lake";
}

std::string sectionTitle(int section)
{
    return "Week " + std::to_string(section + 1);
}

class Rows : public ui::TableViewDataSource {
public:
    int numberOfSectionsInTableView(ui::TableView&) override { return kSections; }
    int tableViewNumberOfRowsInSection(ui::TableView&, int) override { return kRowsPerSection; }
    std::optional<std::string> tableViewTitleForHeaderInSection(ui::TableView&, int section) override { return sectionTitle(section); }
    std::shared_ptr<ui::TableViewCell> tableViewCellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Row");
        if (!cell) {
            cell = std::make_shared<ui::TableViewCell>(gfx::Rect(), "Row");
            cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
        }
        cell->setText(rowText(ip));
        return cell;
    }
};

// The same frames with QPainter: white rows, separators, bold text, chevrons, and the
// sticky header of the section at the top.
void paintRows(QImage& target, const gfx::Rect& table, float offset)
{
    const float width = table.width(), height = table.height();
    QPainter p(&target);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    p.scale(kScale, kScale);
    p.setClipRect(QRectF(table.x(), table.y(), table.width(), table.height()));
    p.translate(0, table.y() - offset);
    p.fillRect(QRectF(0, offset, width, height), Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    font.setBold(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    QFont headerFont = font;
    headerFont.setPixelSize(18);
    const QFontMetricsF metrics(font);
    const float rowHeight = ui::TableView::kDefaultRowHeight;
    const float header = ui::TableView::kPlainHeaderHeight;
    const float sectionHeight = header + kRowsPerSection * rowHeight;
    QPainterPath chevron;
    chevron.moveTo(2, 1.5);
    chevron.lineTo(8, 7);
    chevron.lineTo(2, 12.5);
    const QPen chevronPen(QColor(128, 128, 128), 3);
    const int firstSection = std::max(0, int(offset / sectionHeight));
    for (int s = firstSection; s < kSections && s * sectionHeight < offset + height; ++s) {
        const float rowsTop = s * sectionHeight + header;
        const int first = std::max(0, int(std::floor((offset - rowsTop) / rowHeight)));
        const int last = std::min(kRowsPerSection - 1, int(std::ceil((offset + height - rowsTop) / rowHeight)) - 1);
        for (int r = first; r <= last; ++r) {
            const float y = rowsTop + r * rowHeight;
            p.fillRect(QRectF(0, y + rowHeight - 1, width, 1), QColor(224, 224, 224));
            p.setFont(font);
            p.setPen(Qt::black);
            const QString text = QString::fromStdString(rowText({ s, r }));
            p.drawText(QRectF(10, y, width - 45, rowHeight), Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(text, Qt::ElideRight, width - 45));
            p.save();
            p.translate(width - 20, y + 15);
            p.strokePath(chevron, chevronPen);
            p.restore();
        }
        const float stuck = std::clamp(offset, s * sectionHeight, (s + 1) * sectionHeight - header);
        QLinearGradient gradient(QPointF(0, stuck), QPointF(0, stuck + header));
        gradient.setColorAt(0, QColor::fromRgbF(0.56, 0.62, 0.68));
        gradient.setColorAt(1, QColor::fromRgbF(0.72, 0.76, 0.8));
        p.fillRect(QRectF(0, stuck, width, header), gradient);
        p.setFont(headerFont);
        p.setPen(QColor::fromRgbF(0.33, 0.37, 0.42));
        p.drawText(QRectF(12, stuck + 2, width - 24, header - 2), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(sectionTitle(s)));
        p.setPen(Qt::white);
        p.drawText(QRectF(12, stuck + 1, width - 24, header - 2), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(sectionTitle(s)));
    }
}

// The table's frames and the same frames drawn straight with QPainter, taken alternately at
// each offset, so that both meet the machine in the same state: timed one after the other,
// a change in the machine's speed between the two runs would show in their ratio.
std::string sizeName(gfx::Size size)
{
    return std::to_string(int(size.width)) + "x" + std::to_string(int(size.height));
}

// Arguments: the screen's width and height in points.
void BM_TableViewFlingAgainstQPainter(benchmark::State& state)
{
    const gfx::Size size { float(state.range(0)), float(state.range(1)) };
    ui::Screen::mainScreen().setSize(size);
    auto window = std::make_shared<ui::Window>(ui::Screen::mainScreen().bounds());
    Rows rows;
    const gfx::Rect frame = tableFrame(size);
    auto table = std::make_shared<ui::TableView>(frame, ui::TableViewStyle::Plain);
    table->setDataSource(&rows);
    window->addSubview(table);
    window->makeKeyAndVisible();
    table->reloadData();
    QImage target(int(size.width * kScale), int(size.height * kScale), QImage::Format_ARGB32_Premultiplied);
    const std::string name = sizeName(size);
    const size_t frames = timeTableFlingAlternately(state, *window, *table, g_frames["BM_TableViewFling/" + name], g_frames["BM_QPainterDirect/" + name],
        [&](float y) { paintRows(target, frame, y); });
    benchmark::DoNotOptimize(target.bits());
    state.counters["frames"] = double(frames);
    table->setDataSource(nullptr);
}

const gfx::Size kSizes[] = { { 320, 480 }, { 500, 1000 } };

} // namespace

BENCHMARK(BM_TableViewFlingAgainstQPainter)
    ->Args({ 320, 480 })
    ->Args({ 500, 1000 })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    gfx::Font::prepareTextSystem();
    ui::Screen::mainScreen().setScale(kScale);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    for (gfx::Size size : kSizes) {
        const std::string name = sizeName(size);
        const std::string what = "10,000 rows at " + name + " points";
        printFlingComparison("Table view", what.c_str(), g_frames["BM_TableViewFling/" + name], g_frames["BM_QPainterDirect/" + name]);
    }
    benchmark::Shutdown();
    return 0;
}
