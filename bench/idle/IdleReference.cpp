// The floor under the program's idle CPU: a bare Qt Widgets window whose only child, of the
// message panel's size and colour, is moved 1 px every 30 ms (down 62 steps, up 62, as the
// panel slides); then the same frames without Qt Widgets, a window with no widgets whose
// backing store is scrolled by the pixel, the uncovered row painted and the two rows'
// union flushed; then an empty 30 ms timer; then, below any toolkit, a thread that only
// sleeps 30 ms in poll() as often: what the system alone charges for waking a process.
// Prints the CPU time (user + system, all threads) per frame and per wake-up:
//   idle_reference FRAMES [WIDTHxHEIGHT] [#RRGGBB]        (defaults: 345x78 #f4f1e6)
#include <QApplication>
#include <QBackingStore>
#include <QColor>
#include <QPainter>
#include <QSize>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <poll.h>
#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int IntervalMs = 30;
constexpr int StepsPerDirection = 62;

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000 + double(t.tv_usec) / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

QSize parseSize(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return {};
    return QSize(parts[0].toInt(), parts[1].toInt());
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    const int frames = args.size() > 1 ? args[1].toInt() : 0;
    const QSize size = parseSize(args.size() > 2 ? args[2] : QStringLiteral("345x78"));
    const QColor colour(args.size() > 3 ? args[3] : QStringLiteral("#f4f1e6"));
    if (frames <= 0 || size.isEmpty() || !colour.isValid()) {
        std::fprintf(stderr, "usage: idle_reference FRAMES [WIDTHxHEIGHT] [#RRGGBB]\n");
        return 2;
    }

    QWidget window;
    window.resize(760, 580);
    auto* panel = new QWidget(&window);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    panel->setGeometry(16, 16, size.width(), size.height());
    window.show();

    QWindow rasterWindow;
    rasterWindow.setSurfaceType(QSurface::RasterSurface);
    rasterWindow.resize(window.size());
    QBackingStore store(&rasterWindow);
    QRect rasterPanel = panel->geometry();
    const QColor background = window.palette().color(QPalette::Window);
    const auto paintRaster = [&](const QRect& area) {
        store.beginPaint(area);
        QPainter painter(store.paintDevice());
        painter.fillRect(area, background);
        painter.fillRect(area & rasterPanel, colour);
        painter.end();
        store.endPaint();
    };

    enum Phase
    {
        Moving,
        Raster,
        Empty
    };
    Phase phase = Moving;
    QTimer timer;
    timer.setInterval(IntervalMs);
    int ticks = 0;
    double start = 0;
    const auto begin = [&] {
        ticks = 0;
        start = cpuMs();
        timer.start();
    };
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const int step = (ticks / StepsPerDirection) % 2 == 0 ? 1 : -1; // down, then up
        if (phase == Moving && ticks < frames) {
            panel->move(panel->x(), panel->y() + step);
        } else if (phase == Raster && ticks < frames) {
            const QRect old = rasterPanel;
            rasterPanel.translate(0, step);
            store.scroll(old, 0, step);
            paintRaster(step > 0 ? QRect(old.left(), old.top(), old.width(), 1)
                                 : QRect(old.left(), old.bottom(), old.width(), 1));
            store.flush(old | rasterPanel);
        }
        // The last frame is drawn after its tick: measured at the next one.
        if (++ticks < frames + (phase == Empty ? 0 : 1))
            return;
        const double used = cpuMs() - start;
        timer.stop();
        switch (phase) {
        case Moving:
            std::printf("bare window: %.1f ms of CPU for %d frames of a %dx%d child moved 1 px every %d ms: "
                        "%.3f ms per frame\n",
                        used, frames, size.width(), size.height(), IntervalMs, used / frames);
            window.hide();
            rasterWindow.show();
            store.resize(rasterWindow.size());
            phase = Raster;
            // Mapped and drawn whole before it is measured.
            QTimer::singleShot(1000, [&] {
                const QRect all(QPoint(), rasterWindow.size());
                paintRaster(all);
                store.flush(all);
                begin();
            });
            break;
        case Raster:
            std::printf(
                "window with no widgets: %.1f ms of CPU for %d frames of a %dx%d rectangle scrolled 1 px "
                "every %d ms: %.3f ms per frame\n",
                used, frames, size.width(), size.height(), IntervalMs, used / frames);
            rasterWindow.hide();
            phase = Empty;
            begin();
            break;
        case Empty:
            std::printf("empty %d ms timer: %.1f ms of CPU for %d wake-ups: %.3f ms per wake-up\n",
                        IntervalMs, used, frames, used / frames);
            std::fflush(stdout);
            {
                const double before = cpuMs();
                for (int i = 0; i < frames; ++i)
                    poll(nullptr, 0, IntervalMs);
                const double slept = cpuMs() - before;
                std::printf("no toolkit, poll() sleeping %d ms: %.1f ms of CPU for %d wake-ups: %.3f ms per "
                            "wake-up\n",
                            IntervalMs, slept, frames, slept / frames);
            }
            application.quit();
            break;
        }
        std::fflush(stdout);
    });
    // The window is mapped and drawn before anything is measured.
    QTimer::singleShot(1000, begin);
    return application.exec();
}
