#pragma once

#include <QElapsedTimer>
#include <QMetaType>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QThread>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

// A device server in front of a serial device on 127.0.0.1, started through
// tests/device_server/device-server-rig (path given by DEVICE_SERVER_RIG): ser2net with one raw and
// one Telnet (COM port control) port, or pySerial's example RFC 2217 server or sredird with the
// Telnet port only.
class DeviceServer {
public:
    enum class Kind { Ser2net, PySerial, Sredird };

    ~DeviceServer() { kill(); }

    // False with errorText() when the server is missing or does not listen within 15 s: the
    // Python server alone takes seconds to start on a loaded machine.
    // `settings` (ser2net's form) are ser2net's; the others take the client's.
    bool start(const QString &device, const QString &settings = QStringLiteral("9600n81"), Kind kind = Kind::Ser2net)
    {
        rawPort = kind == Kind::Ser2net ? freePort() : 0;
        telnetPort = freePort();
#ifdef Q_OS_UNIX
        // A group of its own: sredird's connections are children of the rig's socat.
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(DEVICE_SERVER_RIG),
                      {QStringLiteral("--server"), name(kind),
                       QStringLiteral("%1:%2:%3:%4").arg(device).arg(rawPort).arg(telnetPort).arg(settings)});
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 15000) {
            if (process.state() == QProcess::NotRunning) {
                error = QStringLiteral("device-server-rig ended: ") + QString::fromLocal8Bit(process.readAll());
                return false;
            }
            if ((rawPort == 0 || listens(rawPort)) && listens(telnetPort))
                return true;
            QThread::msleep(50);
        }
        error = QStringLiteral("%1 does not listen on 127.0.0.1:%2").arg(name(kind)).arg(telnetPort);
        return false;
    }

    // SIGKILL: the server vanishes with its connections.
    void kill()
    {
        if (process.state() == QProcess::NotRunning)
            return;
#ifdef Q_OS_UNIX
        ::kill(-pid_t(process.processId()), SIGKILL);
#endif
        process.kill();
        process.waitForFinished(3000);
    }

    QString url(const char *scheme, quint16 port) const
    {
        return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(port);
    }
    QString errorText() const { return error; }

    // A port nothing listens on, as far as the test can tell.
    static quint16 freePort()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        return server.serverPort();
    }

    static QString name(Kind kind)
    {
        switch (kind) {
        case Kind::PySerial: return QStringLiteral("pyserial");
        case Kind::Sredird: return QStringLiteral("sredird");
        default: return QStringLiteral("ser2net");
        }
    }

    quint16 rawPort = 0;
    quint16 telnetPort = 0;

private:
    // Whether the port is taken, found without connecting: a connection would make the server open
    // the device and close it again just before the test's own connection.
    static bool listens(quint16 port)
    {
        QTcpServer server;
        return !server.listen(QHostAddress::LocalHost, port);
    }

    QProcess process;
    QString error;
};

Q_DECLARE_METATYPE(DeviceServer::Kind)
