#include "windows_port_names.h"

#include <QRegularExpression>

#include <algorithm>

#include <windows.h>
// windows.h first: SetupAPI builds on its types.
#include <devguid.h>
#include <setupapi.h>

namespace {

// A registry property of one device as text; empty when the device has none.
QString deviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    wchar_t buffer[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, reinterpret_cast<PBYTE>(buffer),
                                             sizeof(buffer) - sizeof(wchar_t), nullptr))
        return {};
    return QString::fromWCharArray(buffer);
}

// "COMn" of a port's friendly name, which ends in "(COMn)"; empty for ports of other kinds (LPT).
QString comNameIn(const QString &friendlyName)
{
    static const QRegularExpression pattern(QStringLiteral("\\((COM[0-9]+)\\)\\s*$"));
    return pattern.match(friendlyName).captured(1);
}

int numberOf(const SerialDevice &port)
{
    return port.path.mid(3).toInt();
}

} // namespace

QList<SerialDevice> windowsSerialPorts()
{
    QList<SerialDevice> ports;
    const HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const QString friendlyName = deviceProperty(set, device, SPDRP_FRIENDLYNAME);
        const QString name = comNameIn(friendlyName);
        if (!name.isEmpty())
            ports << SerialDevice{name, friendlyName};
    }
    ::SetupDiDestroyDeviceInfoList(set);
    std::sort(ports.begin(), ports.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return numberOf(a) < numberOf(b); });
    return ports;
}
