// Uses the installed component through its public headers only: a register converted to bytes,
// and a port that does not exist refused with the component's own message.
#include <modbus/conversion.h>
#include <modbus/modbus.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QVector<quint8> bytes(2);
    RegisterBytes::integersToBytes({0x1234}, bytes, 1);

    modbus component;
    QString shown;
    component.setMessageSink([&shown](const QString &text) { shown = text; });
    qputenv("MODBUS_COM9", "/nonexistent/alarm-modbus-consumer");
    component.setCommPort(9);
    // The first line is the component's message, the second says why.
    const bool refused = !component.OpenPort() && shown.section(u'\n', 0, 0) == modbus::portErrorMessage;

    const bool converted = bytes == QVector<quint8>{0x12, 0x34};
    std::printf("converted: %d, missing port refused: %d\n", converted, refused);
    return converted && refused ? 0 : 1;
}
