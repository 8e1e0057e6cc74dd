// Drawing one full 320 x 480 screen of about fifty views (labels, images, gradient panels) at
// 2x through the view system, against the same drawing done with QPainter directly. Prints
// the median frame time of each and their ratio.
#include "ui/ImageView.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include "Reporters.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr float kScale = 2;

struct Element {
    enum Kind { Panel, Label, Picture, Plain } kind;
    gfx::Rect frame;
    std::string text;
    bool bold { false };
    float size { 15 };
};

// The scene, shared by both ways of drawing it.
std::vector<Element> scene()
{
    std::vector<Element> elements;
    for (int i = 0; i < 4; ++i)
        elements.push_back({ Element::Panel, gfx::Rect(0, 20 + i * 115.0f, 320, 110), "" });
    for (int i = 0; i < 20; ++i)
        elements.push_back({ Element::Label, gfx::Rect(88, 24 + i * 22.0f, 220, 20), "Memo " + std::to_string(i) + " of today's list", i % 2 == 0, i % 3 == 0 ? 16.0f : 12.0f });
    for (int i = 0; i < 16; ++i)
        elements.push_back({ Element::Picture, gfx::Rect(8 + (i % 2) * 40.0f, 24 + (i / 2) * 56.0f, 36, 36), "" });
    for (int i = 0; i < 10; ++i)
        elements.push_back({ Element::Plain, gfx::Rect(260, 30 + i * 44.0f, 50, 30), "" });
    return elements;
}

const gfx::Color kPanelTop = gfx::Color::grey(0.4f);
const gfx::Color kPanelBottom = gfx::Color::grey(0.06f);
const gfx::Color kPlain = gfx::Color::rgba(0.2f, 0.4f, 0.8f);

std::shared_ptr<gfx::Image> pictureImage()
{
    static std::shared_ptr<gfx::Image> image = [] {
        auto context = gfx::BitmapContext::create(72, 72, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
        context->fillRect(gfx::Rect(0, 0, 72, 72), gfx::Color::rgba(0.8f, 0.1f, 0.1f, 0.9f));
        context->fillRect(gfx::Rect(18, 18, 36, 36), gfx::Color::white());
        return context->makeImage(2);
    }();
    return image;
}

class PanelView : public ui::View {
public:
    using View::View;
    void drawRect(gfx::Context& context, const gfx::Rect&) override
    {
        context.drawLinearGradient(m_gradient, { 0, 1 }, { 0, 31 }, 0);
    }

private:
    gfx::Gradient m_gradient = gfx::Gradient::withColors({ kPanelTop, kPanelBottom });
};

class TextView : public ui::View {
public:
    TextView(const Element& e)
        : View(e.frame)
        , m_text(e.text)
        , m_font(e.bold ? gfx::Font::boldSystemFont(e.size) : gfx::Font::systemFont(e.size))
    {
    }
    void drawRect(gfx::Context& context, const gfx::Rect&) override
    {
        context.drawText(m_text, bounds(), m_font, gfx::Color::white(), gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
    }

private:
    std::string m_text;
    gfx::Font m_font;
};

std::shared_ptr<ui::Window> buildWindow()
{
    auto window = std::make_shared<ui::Window>();
    window->setBackgroundColor(gfx::Color::black());
    for (const Element& e : scene()) {
        std::shared_ptr<ui::View> view;
        switch (e.kind) {
        case Element::Panel:
            view = std::make_shared<PanelView>(e.frame);
            break;
        case Element::Label:
            view = std::make_shared<TextView>(e);
            break;
        case Element::Picture: {
            auto picture = std::make_shared<ui::ImageView>(e.frame);
            picture->setImage(pictureImage());
            view = picture;
            break;
        }
        case Element::Plain:
            view = std::make_shared<ui::View>(e.frame);
            view->setBackgroundColor(kPlain);
            break;
        }
        window->addSubview(view);
    }
    return window;
}

QColor toQColor(const gfx::Color& c)
{
    return QColor::fromRgbF(c.red, c.green, c.blue, c.alpha);
}

// The same scene painted with QPainter directly: the baseline.
void paintDirectly(QImage& target, const std::vector<Element>& elements, const QImage& picture)
{
    QPainter p(&target);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    p.scale(kScale, kScale);
    p.fillRect(QRectF(0, 0, 320, 480), Qt::black);
    for (const Element& e : elements) {
        QRectF r(e.frame.x(), e.frame.y(), e.frame.width(), e.frame.height());
        switch (e.kind) {
        case Element::Panel: {
            QLinearGradient g(QPointF(0, r.y() + 1), QPointF(0, r.y() + 31));
            g.setColorAt(0, toQColor(kPanelTop));
            g.setColorAt(1, toQColor(kPanelBottom));
            p.fillRect(QRectF(r.x(), r.y() + 1, r.width(), 30), g);
            break;
        }
        case Element::Label: {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(int(e.size));
            font.setBold(e.bold);
            font.setHintingPreference(QFont::PreferNoHinting);
            p.setFont(font);
            p.setPen(Qt::white);
            QFontMetricsF metrics(font);
            p.drawText(r, Qt::AlignLeft | Qt::AlignTop, metrics.elidedText(QString::fromStdString(e.text), Qt::ElideRight, r.width()));
            break;
        }
        case Element::Picture:
            p.drawImage(r, picture);
            break;
        case Element::Plain:
            p.fillRect(r, toQColor(kPlain));
            break;
        }
    }
    // The status bar, as the window draws it: two glyphs and the time.
    p.fillRect(QRectF(0, 0, 320, 20), Qt::black);
    for (const auto& [glyph, x] : { std::pair { ui::imageNamed("status_signal.png"), 6.0f }, std::pair { ui::imageNamed("status_battery.png"), 0.0f } }) {
        if (!glyph)
            continue;
        const gfx::Bitmap& b = glyph->bitmap();
        QImage image(b.data(), b.width(), b.height(), b.bytesPerRow(), QImage::Format_ARGB32_Premultiplied);
        float left = x > 0 ? x : 314 - glyph->size().width;
        p.drawImage(QRectF(left, (20 - glyph->size().height) * 0.5, glyph->size().width, glyph->size().height), image);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(60, 0, 200, 20), Qt::AlignCenter, QString::fromStdString(ui::StatusBar::timeText()));
}


void BM_ViewSystem(benchmark::State& state)
{
    auto window = buildWindow();
    auto frame = gfx::BitmapContext::create(640, 960, gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    frame->scaleCTM(kScale, kScale);
    for (auto _ : state) {
        window->drawScreen(*frame);
        benchmark::DoNotOptimize(frame->bitmap().data());
    }
}

void BM_QPainterDirect(benchmark::State& state)
{
    auto elements = scene();
    const gfx::Bitmap& bitmap = pictureImage()->bitmap();
    QImage picture(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(), QImage::Format_ARGB32_Premultiplied);
    QImage target(640, 960, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        paintDirectly(target, elements, picture);
        benchmark::DoNotOptimize(target.bits());
    }
}


} // namespace

BENCHMARK(BM_ViewSystem)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_QPainterDirect)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    gfx::Font::prepareTextSystem();
    ui::Screen::mainScreen().setScale(kScale);
    benchmark::Initialize(&argc, argv);
    bench::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double views = reporter.median("BM_ViewSystem"), direct = reporter.median("BM_QPainterDirect");
    if (views > 0 && direct > 0)
        std::printf("Full screen of 50 views at 2x: median %.3f ms through the view system, %.3f ms with QPainter directly; ratio %.2f (goal at most 1.5)\n",
            views, direct, views / direct);
    benchmark::Shutdown();
    return 0;
}
