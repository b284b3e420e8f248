#include "app/program.h"

#include "app/assembly.h"
#include "window/form_main.h"

#include <QApplication>
#include <QStyleFactory>

namespace alarmcfg {

int runProgram(int argc, char **argv, const Edition &edition)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(edition.programName);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    FormMain window(edition);
    assembleWindow(window);
    window.show();
    return QApplication::exec();
}

} // namespace alarmcfg
