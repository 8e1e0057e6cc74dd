// The least a Qt program on this machine does to put a phone-sized window on screen: the
// baseline that scripts/bench-startup divides Parlivo's own start-up by.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

namespace {

class EmptyWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override
    {
        // One line of text, so the font stack loads as it does for any real screen.
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(), size()), Qt::black);
        painter.setPen(Qt::white);
        painter.drawText(QRect(QPoint(), size()), Qt::AlignCenter, QStringLiteral("Studio"));
    }
};

}

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    EmptyWindow window;
    window.resize(640, 960); // the phone at 2×, as Parlivo opens on a 1280 × 1024 screen
    window.show();
    return application.exec();
}
