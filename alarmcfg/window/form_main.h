#pragma once

#include "editions/edition.h"
#include "window/periodic_timer.h"

#include "modbus/port_directory.h"
#include "modbus/serial_port.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSettings;
class QStatusBar;
class modbus;

namespace alarmcfg {

// Every widget the handlers read or fill. Arrays are indexed like the control arrays (relay i,
// channel k); widgets the edition does not have are nullptr or empty.
struct Controls {
    // Serial port and firmware version
    QComboBox *cmbComSel = nullptr;
    QPushButton *cmdConnect = nullptr;
    QLabel *lblVertion = nullptr;
    std::vector<QLabel *> Label1;

    // Live state
    std::vector<QLineEdit *> txtAI;
    std::vector<QLineEdit *> txtTHCalc;
    std::vector<QPushButton *> cmdDI;
    std::vector<QPushButton *> cmdRelay;

    // Analog conversion
    std::vector<QComboBox *> cmbRangeSel;
    std::vector<QLineEdit *> txtAIRange;

    // Alarm settings
    QPushButton *cmdAddPhone = nullptr;
    QPushButton *cmdDelPhone = nullptr;
    QLineEdit *txtPhone = nullptr;
    QListWidget *lstPhone = nullptr;
    std::vector<QLineEdit *> txtAdc;
    std::vector<QLineEdit *> txtTHAlmMsg;
    QComboBox *cmbDISel = nullptr;
    QPlainTextEdit *txtDIAlarm = nullptr;

    // Relay commands
    std::vector<QGroupBox *> relayFrames;
    std::vector<QLineEdit *> txtOpen;
    std::vector<QLineEdit *> txtAnswer;
    std::vector<QLineEdit *> txtClose;
    std::vector<QLineEdit *> txtCAnswer;
    std::vector<QLineEdit *> txtTime;
    QLineEdit *txtMiMa = nullptr;
    std::vector<QLineEdit *> txtAllCmd;
    QCheckBox *chkHold = nullptr;
    QCheckBox *chkPhoneAlarm = nullptr;
    QCheckBox *chkAnswer = nullptr;
    QPushButton *cmdRelayWrite = nullptr;
    QPushButton *cmdRelayRead = nullptr;
    QPushButton *Command1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;

    // Everything above the status line, scrolled when the screen is too small for it
    QScrollArea *clientArea = nullptr;

    // Status line: the step in progress or the outcome of the last action; the port's device
    QStatusBar *StatusBar1 = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblPort = nullptr;
};

// The one window of each program. Constructing it builds the widgets of its edition, wires the
// handlers and runs the load handling; nothing is sent until the user connects.
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

    // Ends the program after a refusal: by default closes the port, stops both timers and leaves
    // the event loop; tests record it instead. From then on isEnding() holds and no handler sends.
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

    bool IsConnected = false;
    bool StatusSeen = false;
    QStringList DIAlarmText;
    quint16 DIState = 0;
    qint16 RelayState = 0;

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void connectHandlers();
    void keepGroupsWhole();
    void centreOnScreen();
    void showMessageBox(const QString &text);
    void closeAndExit();

    const Edition &edition_;
    MessageSink messageSink_;
    ProgramEnd programEnd_;
    bool ending_ = false;
    bool centred_ = false;
};

} // namespace alarmcfg
