// bench_startup analog|th
// Starts like the program does (application, Fusion style, the edition's main window, show) and
// reports the time from process start to the window's first paint, and the peak memory then.

#include "measure.h"
#include "results.h"

#include "app/assembly.h"
#include "window/form_main.h"

#include <QApplication>
#include <QEvent>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int giveUpMs = 10000;

// Ends the event loop at the window's first paint: from then on the user sees it.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bench::Micros sinceStart{};
    double peakMiB = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            sinceStart = bench::sinceProcessStart();
            peakMiB = bench::peakResidentMiB();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

const alarmcfg::Edition *editionNamed(const char *name)
{
    if (qstrcmp(name, "analog") == 0)
        return &alarmcfg::analogEdition();
    if (qstrcmp(name, "th") == 0)
        return &alarmcfg::temperatureHumidityEdition();
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    const alarmcfg::Edition *edition = argc == 2 ? editionNamed(argv[1]) : nullptr;
    if (!edition) {
        std::fprintf(stderr, "usage: bench_startup analog|th\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(edition->programName);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    alarmcfg::FormMain window(*edition);
    alarmcfg::assembleWindow(window);
    FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    QTimer::singleShot(giveUpMs, &application, &QCoreApplication::quit);
    QApplication::exec();
    if (!firstPaint.painted) {
        std::fprintf(stderr, "bench_startup: the window was never painted\n");
        return 1;
    }
    bench::printFigure(QStringLiteral("startup.ms"), firstPaint.sinceStart.count() / 1000.0);
    bench::printFigure(QStringLiteral("startup.peak_mib"), firstPaint.peakMiB);
    return 0;
}
