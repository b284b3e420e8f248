#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTcpServer>
#include <QThread>

// ser2net in front of a serial device on 127.0.0.1, one raw and one Telnet (COM port control)
// port, started through tests/device_server/ser2net-rig (path given by SER2NET_RIG).
class DeviceServer {
public:
    ~DeviceServer() { kill(); }

    // False with errorText() when ser2net is missing or does not listen within 5 s.
    bool start(const QString &device, const QString &settings = QStringLiteral("9600n81"))
    {
        rawPort = freePort();
        telnetPort = freePort();
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(SER2NET_RIG),
                      {QStringLiteral("%1:%2:%3:%4").arg(device).arg(rawPort).arg(telnetPort).arg(settings)});
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 5000) {
            if (process.state() == QProcess::NotRunning) {
                error = QStringLiteral("ser2net-rig ended: ") + QString::fromLocal8Bit(process.readAll());
                return false;
            }
            if (listens(rawPort) && listens(telnetPort))
                return true;
            QThread::msleep(50);
        }
        error = QStringLiteral("ser2net does not listen on 127.0.0.1:%1").arg(rawPort);
        return false;
    }

    // SIGKILL: the server vanishes with its connections.
    void kill()
    {
        if (process.state() == QProcess::NotRunning)
            return;
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

    quint16 rawPort = 0;
    quint16 telnetPort = 0;

private:
    // Whether the port is taken, found without connecting: a connection would make ser2net open
    // the device and close it again just before the test's own connection.
    static bool listens(quint16 port)
    {
        QTcpServer server;
        return !server.listen(QHostAddress::LocalHost, port);
    }

    QProcess process;
    QString error;
};
