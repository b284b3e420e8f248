// screenshot analog|th <file.png>: the window of one program after start-up, as a PNG.
#include "app/assembly.h"
#include "app/config_menu.h"
#include "window/form_main.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // The font the window-size test measures with, whatever the machine's default.
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Zen Hei"), 9));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3 || (arguments[1] != u"analog" && arguments[1] != u"th")) {
        QTextStream(stderr) << "usage: screenshot analog|th <file.png>\n";
        return 2;
    }
    const alarmcfg::Edition &edition = arguments[1] == u"th"
                                           ? alarmcfg::temperatureHumidityEdition()
                                           : alarmcfg::analogEdition();
    alarmcfg::FormMain window(edition);
    alarmcfg::assembleWindow(window);
    alarmcfg::addConfigurationMenu(window);
    window.show();
    int status = 1;
    // Grab once the window has been laid out and painted.
    QTimer::singleShot(500, &window, [&] {
        status = window.grab().save(arguments[2]) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return status;
}
