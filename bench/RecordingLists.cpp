// The recordings lists at 10,000 recordings spread over five years, against raw SQLite and
// QPainter doing comparable work in the same run:
// - moving one recording to the Trash (its save, and every list that exists at start-up
//   reacting: My Recordings and the Trash rebuild their sections) and building one list from
//   scratch, each against one raw SELECT pass over the same rows;
// - a fling through the whole Recordings list at 2x, frame by frame, against the same rows
//   painted with QPainter, the two timed alternately at each offset.
// - the Categories screen making a list for each of the eight categories (when it first
//   shows), and renaming a category of 1,250 recordings with those lists alive, each against
//   one list built from scratch.
// Prints the ratios, the absolute time of a move, and how many photos the first screen read.
#include "CategoriesTableViewController.h"
#include "HelperMethods.h"
#include "MyRecordingsViewController.h"
#include "ParlivoAppDelegate.h"
#include "Recording.h"
#include "RecordingLibrary.h"
#include "RecordingTableViewCell.h"
#include "TrashBinViewController.h"

#include "foundation/Bundle.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "foundation/UUID.h"
#include "foundation/UserDefaults.h"
#include "graphics/Image.h"
#include "ui/ImageView.h"
#include "ui/ScrollMomentum.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "FrameTiming.h"

#include "TemporaryStore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

using namespace bench;

constexpr int kRecordings = 10'000;
constexpr float kScale = 2;
constexpr const char* kColumns = "pk, title, audioFileName, size, category, comments, length, playCount, createdDate, location";
std::string g_database;

void execOrDie(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), error);
        std::exit(1);
    }
}

// 10,000 recordings over the five years before now, a tenth in the Trash, a tenth with a
// small photo, a fifth never played.
void makeDatabase(double now)
{
    const char* categories[] = { "General", "To Do", "Reminders", "Shopping List", "Lectures", "Meetings", "Fun", "Other" };
    auto photo = gfx::BitmapContext::create(88, 88, gfx::PixelFormat::RGBAPremultiplied, gfx::ContextOrigin::TopLeft);
    photo->fillRect({ 0, 0, 88, 88 }, gfx::Color::rgba(0.2f, 0.5f, 0.8f));
    const std::vector<std::uint8_t> png = photo->makeImage(1)->pngData();

    sqlite3* db = nullptr;
    sqlite3_open(g_database.c_str(), &db);
    execOrDie(db, "BEGIN");
    for (const char* category : categories)
        execOrDie(db, std::string("INSERT INTO categories VALUES ('") + category + "')");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
        "INSERT INTO recordings (title, audioFileName, size, category, comments, length, playCount, createdDate, location, image) "
        "VALUES (?, ?, ?, ?, '', ?, ?, ?, ?, ?)",
        -1, &insert, nullptr);
    const double span = 5 * 365.25 * 86'400;
    for (int i = 0; i < kRecordings; ++i) {
        const std::string title = "Memo about topic " + std::to_string(i);
        const std::string uuid = foundation::makeUUIDString();
        sqlite3_bind_text(insert, 1, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, uuid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, "120 KB", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, categories[i % 8], -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 5, 5.0 + i % 300);
        sqlite3_bind_int(insert, 6, i % 5 ? 1 : 0);
        sqlite3_bind_double(insert, 7, now - span * (double(i) + 0.5) / kRecordings);
        sqlite3_bind_int(insert, 8, i % 10 == 9 ? 2 : 1);
        if (i % 10 == 3)
            sqlite3_bind_blob(insert, 9, png.data(), int(png.size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(insert, 9);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    execOrDie(db, "COMMIT");
    sqlite3_close(db);
}

// The lists that exist at start-up.
struct StartUpLists {
    std::shared_ptr<MyRecordingsViewController> myRecordings = MyRecordingsViewController::create();
    std::shared_ptr<TrashBinViewController> trashBin = TrashBinViewController::create();
};

void BM_MoveToTrash(benchmark::State& state)
{
    StartUpLists lists;
    auto& library = RecordingLibrary::sharedLibrary();
    size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::shared_ptr<Recording> recording;
        while (!recording || recording->location() != 1)
            recording = library.recordings()[next++ % library.recordings().size()];
        state.ResumeTiming();
        recording->setLocation(2);
        recording->save();
        state.PauseTiming();
        if (recording->isDirty() || lists.myRecordings->recordingIsInTable(recording.get()) || !lists.trashBin->recordingIsInTable(recording.get()))
            state.SkipWithError("the move did not reach the lists");
        recording->setLocation(1);
        recording->save();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MoveToTrash)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_BuildList(benchmark::State& state)
{
    RecordingLibrary::sharedLibrary();
    for (auto _ : state) {
        auto list = RecordingsTableViewController::create(ui::TableViewStyle::Plain, 1, std::nullopt);
        benchmark::DoNotOptimize(list->getCount());
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildList)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_CategoryLists(benchmark::State& state)
{
    RecordingLibrary::sharedLibrary();
    auto categories = CategoriesTableViewController::create();
    for (auto _ : state) {
        categories->reloadCategories();
        benchmark::DoNotOptimize(categories->recordingsTablesByCategory().size());
    }
    if (categories->recordingsTablesByCategory().size() != 8)
        state.SkipWithError("not one list per category");
}
BENCHMARK(BM_CategoryLists)->Unit(benchmark::kMillisecond)->MinTime(3);

// Every recording of the category is saved under its new name, and the lists hear of each.
void BM_RenameCategory(benchmark::State& state)
{
    auto& library = RecordingLibrary::sharedLibrary();
    auto categories = CategoriesTableViewController::create();
    categories->view();
    bool renamed = false;
    for (auto _ : state) {
        library.updateCategoryTo(renamed ? "Party" : "Fun", renamed ? "Fun" : "Party");
        renamed = !renamed;
    }
    if (renamed)
        library.updateCategoryTo("Party", "Fun");
    if (categories->recordingsTablesByCategory().at("Fun")->getCount() == 0)
        state.SkipWithError("the rename did not reach the lists");
}
BENCHMARK(BM_RenameCategory)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_RawSelectPass(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open(g_database.c_str(), &db);
    for (auto _ : state) {
        sqlite3_stmt* select = nullptr;
        sqlite3_prepare_v2(db, (std::string("SELECT ") + kColumns + " FROM recordings").c_str(), -1, &select, nullptr);
        size_t bytes = 0;
        while (sqlite3_step(select) == SQLITE_ROW) {
            for (int column = 1; column <= 5; ++column) {
                sqlite3_column_text(select, column);
                bytes += size_t(sqlite3_column_bytes(select, column));
            }
            bytes += size_t(sqlite3_column_int(select, 0) + sqlite3_column_double(select, 6) + sqlite3_column_int(select, 7)
                + sqlite3_column_double(select, 8) + sqlite3_column_int(select, 9));
        }
        sqlite3_finalize(select);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_close(db);
}
BENCHMARK(BM_RawSelectPass)->Unit(benchmark::kMillisecond)->MinTime(3);

// The rows of the list as QPainter draws them straight: per row a separator, the marker,
// the bold title, the category, the blue length and date right-aligned and the chevron; the
// sticky header over the top. Texts come from the same recordings, dates pre-formatted.
struct PaintedRow {
    QString title, category, length, date;
    bool unplayed { false };
};
struct PaintedSection {
    QString title;
    std::vector<PaintedRow> rows;
};

std::vector<PaintedSection> paintedSections(RecordingsTableViewController& list)
{
    std::vector<PaintedSection> sections;
    for (const auto& title : list.sortedDataGroups()) {
        PaintedSection section { QString::fromStdString(title), {} };
        for (const auto& recording : list.data().at(title))
            section.rows.push_back({ QString::fromStdString(recording->title()), QString::fromStdString(recording->category()),
                QString::fromStdString(HelperMethods::formattedPlayTimeValueForPosition(recording->length(), recording->length(), false)),
                QString::fromStdString(HelperMethods::formattedShortDate(recording->createdDate())), recording->playCount() < 1 });
        sections.push_back(std::move(section));
    }
    return sections;
}

void paintRows(QImage& target, const std::vector<PaintedSection>& sections, const QImage& marker, float top, float offset)
{
    QPainter p(&target);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    p.scale(kScale, kScale);
    p.setClipRect(QRectF(0, top, 320, 480 - top - 49));
    p.translate(0, top - offset);
    p.fillRect(QRectF(0, offset, 320, 480), Qt::white);
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(16);
    title.setBold(true);
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(12);
    QFont header = title;
    header.setPixelSize(18);
    const QFontMetricsF titleMetrics(title);
    QPainterPath chevron;
    chevron.moveTo(2, 1.5);
    chevron.lineTo(8, 7);
    chevron.lineTo(2, 12.5);
    const QPen chevronPen(QColor(128, 128, 128), 3);
    const float rowHeight = RecordingTableViewCell::preferredRowHeight();
    const float headerHeight = ui::TableView::kPlainHeaderHeight;
    float sectionTop = 0;
    for (const auto& section : sections) {
        const float sectionHeight = headerHeight + float(section.rows.size()) * rowHeight;
        if (sectionTop > offset + 480)
            break;
        if (sectionTop + sectionHeight >= offset) {
            const float rowsTop = sectionTop + headerHeight;
            const int first = std::max(0, int(std::floor((offset - rowsTop) / rowHeight)));
            const int last = std::min(int(section.rows.size()) - 1, int(std::ceil((offset + 480 - rowsTop) / rowHeight)));
            for (int r = first; r <= last; ++r) {
                const PaintedRow& row = section.rows[size_t(r)];
                const float y = rowsTop + float(r) * rowHeight;
                p.fillRect(QRectF(0, y + rowHeight - 1, 320, 1), QColor(224, 224, 224));
                if (row.unplayed)
                    p.drawImage(QRectF(10, y + 22, 12, 12), marker);
                p.setFont(title);
                p.setPen(Qt::black);
                p.drawText(QRectF(40, y + 9, 140, 28), Qt::AlignLeft | Qt::AlignVCenter, titleMetrics.elidedText(row.title, Qt::ElideRight, 140));
                p.setFont(small);
                p.drawText(QRectF(40, y + 31, 140, 14), Qt::AlignLeft | Qt::AlignVCenter, row.category);
                p.setPen(Qt::blue);
                p.drawText(QRectF(175, y + 14, 70, 14), Qt::AlignRight | Qt::AlignVCenter, row.length);
                p.drawText(QRectF(175, y + 28, 70, 14), Qt::AlignRight | Qt::AlignVCenter, row.date);
                p.save();
                p.translate(300, y + 21);
                p.strokePath(chevron, chevronPen);
                p.restore();
            }
            const float stuck = std::clamp(offset, sectionTop, sectionTop + sectionHeight - headerHeight);
            p.fillRect(QRectF(0, stuck, 320, headerHeight), QColor(150, 160, 175));
            p.setFont(header);
            p.setPen(Qt::white);
            p.drawText(QRectF(12, stuck + 1, 296, headerHeight - 2), Qt::AlignLeft | Qt::AlignTop, section.title);
        }
        sectionTop += sectionHeight;
    }
}

void BM_RecordingsFlingAgainstQPainter(benchmark::State& state)
{
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("plain", "listStyle");
    auto list = MyRecordingsViewController::create();
    auto window = std::make_shared<ui::Window>();
    auto table = list->tableView();
    table->setFrame({ 0, 64, 320, 480 - 64 - 49 });
    window->addSubview(table);
    window->makeKeyAndVisible();
    table->reloadData();
    const auto sections = paintedSections(*list);
    const QImage marker(QString::fromStdString(foundation::Bundle::main().resourcePath() + "/images/new@2x.png"));
    QImage target(640, 960, QImage::Format_ARGB32_Premultiplied);
    const size_t frames = timeTableFlingAlternately(state, *window, *table, g_frames["list"], g_frames["qpainter"],
        [&](float y) { paintRows(target, sections, marker, 64, y); });
    state.counters["frames"] = double(frames);
    table->removeFromSuperview();
}
BENCHMARK(BM_RecordingsFlingAgainstQPainter)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2)->ReportAggregatesOnly(true);

// How many photos the first screen of the list read: only the rows shown may.
void reportPhotosOfTheFirstScreen()
{
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("YES", "showImages");
    auto list = MyRecordingsViewController::create();
    auto window = std::make_shared<ui::Window>();
    auto table = list->tableView();
    table->setFrame({ 0, 64, 320, 480 - 64 - 49 });
    window->addSubview(table);
    table->reloadData();
    window->layoutIfNeeded();
    const auto& recordings = RecordingLibrary::sharedLibrary().recordings();
    std::printf("photos read for the first screen: %ld of %zu recordings (%zu rows shown)\n",
        long(std::count_if(recordings.begin(), recordings.end(), [](const auto& r) { return r->isImageLoaded(); })), recordings.size(),
        table->indexPathsForVisibleRows().size());
    table->removeFromSuperview();
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("NO", "showImages");
}


} // namespace

int main(int argc, char** argv)
{
    const auto store = bench::useTemporaryStore();
    if (!store)
        return 1;
    const std::string root = store->root;
    g_database = store->database;
    gfx::Font::prepareTextSystem();
    ui::Screen::mainScreen().setScale(kScale);
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("plain", "listStyle");
    makeDatabase(foundation::currentDate());
    reportPhotosOfTheFirstScreen();

    benchmark::Initialize(&argc, argv);
    bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("move to the Trash, lists rebuilt / raw SELECT", "BM_MoveToTrash", "BM_RawSelectPass");
    reporter.printRatio("one list built from scratch / raw SELECT", "BM_BuildList", "BM_RawSelectPass");
    reporter.printRatio("eight category lists / one list built", "BM_CategoryLists", "BM_BuildList");
    reporter.printRatio("renaming 1,250 recordings' category / one list", "BM_RenameCategory", "BM_BuildList");
    if (double move = reporter.realMilliseconds("BM_MoveToTrash"); move > 0)
        std::printf("move to the Trash: %.3f ms (goal within one 16-ms frame)\n", move);
    printFlingComparison("Recordings list", "10,000 recordings", g_frames["list"], g_frames["qpainter"]);
    RecordingLibrary::resetSharedLibrary();
    benchmark::Shutdown();
    std::filesystem::remove_all(root);
    return 0;
}
