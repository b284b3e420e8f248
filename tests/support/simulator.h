#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// One line of the simulator's request log.
struct SimulatorRequest {
    double t = 0;
    int slave = 0;
    int fn = 0;
    int addr = 0;
    int count = 0;
    QVector<qint16> values; // written values (functions 6 and 16)
    QString request;        // "01 03 00 00 00 07 04 08"
    QString reply;          // as sent, empty when nothing was sent
    QString fault;          // empty, or the injected fault
};

// Runs the built alarmsim with a private log and state file. The files survive stop() and a new
// start(), so a test can restart the controller with the session it had.
class Simulator {
public:
    Simulator();
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Points MODBUS_COM<n> at the simulator (now and after every start) for the component's port n.
    void setPortNumber(int portNumber);
    // Starts alarmsim with these arguments; false (see errorText()) when no device path appears.
    bool start(const QStringList &arguments = {});
    // SIGTERM and wait; true when the simulator ended cleanly with exit code 0.
    bool stop();
    // SIGKILL: a controller that vanishes without a word.
    void kill();
    bool isRunning() const;
    // For a watcher thread that must end the controller while the test's thread is blocked.
    qint64 processId() const { return process.processId(); }

    QString devicePath() const { return path; }
    QString statePath() const;
    QString logPath() const;
    QString errorText() const { return error; }

    QList<SimulatorRequest> requests() const;
    // The saved register image (1300 values); empty before the first save.
    QVector<qint16> registers() const;
    // The text of the slot at address, up to its first zero byte, decoded from GBK.
    QString registerText(int address, int registerCount = 20) const;

private:
    void exportPort() const;

    QTemporaryDir dir;
    QProcess process;
    QString path;
    QString error;
    int portNumber = 0;
};
