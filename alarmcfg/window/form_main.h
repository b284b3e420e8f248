#pragma once

#include "editions/edition.h"
#include "model/request_tally.h"
#include "window/controls.h"
#include "window/periodic_timer.h"

#include "modbus/port_directory.h"
#include "modbus/serial_port.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QSettings;
class modbus;

namespace alarmcfg {

// The one window of each program. Constructing it builds the widgets of its edition; the program's
// assembly wires the handlers and runs the load handling.
class FormMain : public QWidget {
    Q_OBJECT

public:
    using MessageSink = std::function<void(const QString &text)>;

    static inline const QString caption = QStringLiteral("Veltra短信报警器配置工具V5.0");
    static constexpr int diAlarmSlotCount = 9;

    // Without a port, modbus1 uses the POSIX serial backend.
    explicit FormMain(const Edition &edition, std::unique_ptr<SerialPort> port = {},
                      QWidget *parent = nullptr);
    ~FormMain() override;

    const Edition &edition() const { return edition_; }

    // A message box with one OK button and the window caption as title; tests record instead.
    void showMessage(const QString &text);
    void setMessageSink(MessageSink sink);

    // Ends the program after a refusal: runs the end the assembly set (release the link, leave the
    // event loop); tests record it instead. From then on isEnding() holds and no handler sends.
    using ProgramEnd = std::function<void()>;
    void endProgram();
    void setProgramEnd(ProgramEnd end);
    bool isEnding() const { return ending_; }

    Controls ui;
    PeriodicTimer *const Timer1;
    PeriodicTimer *const Timer2;
    modbus *const modbus1;

    // Where each COMn leads; tests give a fake device tree.
    PortDirectory portDirectory;
    // What the program keeps between runs (the last port used); none unless the program or a
    // test gives it.
    QSettings *settings = nullptr;
    // After connect's read-back (true when every request was answered): what the program does
    // with the values read, said after the outcome in the status line; none unless the program
    // sets it.
    std::function<QString(bool complete)> afterConnectReadBack;

    RequestTally requestTally;

    // While a read fills a configuration rather than the window (a compare, a backup), the
    // window shows only the live state of the status block of its replies.
    bool readingConfiguration = false;

    bool IsConnected = false;
    bool StatusSeen = false;
    QStringList DIAlarmText;
    quint16 DIState = 0;
    qint16 RelayState = 0;

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void keepGroupsWhole();
    void centreOnScreen();
    void showMessageBox(const QString &text);

    const Edition &edition_;
    MessageSink messageSink_;
    ProgramEnd programEnd_;
    bool ending_ = false;
    bool centred_ = false;
};

} // namespace alarmcfg
