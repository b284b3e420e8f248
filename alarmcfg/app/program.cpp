#include "app/program.h"

#include "app/assembly.h"
#include "connection/port_choice.h"
#include "window/form_main.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>

namespace alarmcfg {

int runProgram(int argc, char **argv, const Edition &edition)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(edition.programName);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QSettings settings(QStringLiteral("Veltra"), edition.programName);
    FormMain window(edition);
    assembleWindow(window);
    window.settings = &settings;
    preselectRememberedPort(window);
    window.show();
    return QApplication::exec();
}

} // namespace alarmcfg
