#include "message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

void modbus_detail::showMessageBox(const QString &text)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        qWarning("%s", qUtf8Printable(text));   // no widgets without a QApplication
        return;
    }
    QWidget *active = QApplication::activeWindow();
    const QString title = active && !active->windowTitle().isEmpty()
                              ? active->windowTitle()
                              : QCoreApplication::applicationName();
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, active);
    box.exec();
}
