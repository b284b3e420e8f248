#include "device_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

bool addToTree(const QString &root, const QString &entry)
{
    const QDir dir(root);
    const QString kind = entry.section('/', 0, 0);
    const QString rest = entry.section('/', 1);
    const auto writeFile = [&dir](const QString &path, const QString &text) {
        dir.mkpath(QFileInfo(dir.filePath(path)).path());
        QFile file(dir.filePath(path));
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8() + '\n') > 0;
    };
    const QString name = rest.section(QRegularExpression("[>=]"), 0, 0);
    const QString value = rest.section(QRegularExpression("[>=]"), 1);
    if (kind == "dev")
        return writeFile(entry, {});
    if (kind == "by-id")
        return dir.mkpath("dev/serial/by-id")
               && QFile::link("../../" + value, dir.filePath("dev/serial/by-id/" + name));
    if (kind == "type")
        return writeFile("sys/class/tty/" + name + "/type", value);
    if (kind != "usb")
        return false;
    // sys/class/tty/NAME/device -> the port under the interface under the USB device.
    const QString usbDevice = "sys/devices/pci0000:00/usb1/1-" + name;
    const QStringList fields = value.split('|');
    const QStringList files{"manufacturer", "product", "serial", "idVendor", "idProduct"};
    for (int i = 0; i < files.size(); ++i)
        if (!fields.value(i).isEmpty() && !writeFile(usbDevice + '/' + files[i], fields[i]))
            return false;
    const QString port = usbDevice + "/interface:1.0/" + name;
    return dir.mkpath(port) && dir.mkpath("sys/class/tty/" + name)
           && QFile::link("../../../" + port.section('/', 1), dir.filePath("sys/class/tty/" + name + "/device"));
}
