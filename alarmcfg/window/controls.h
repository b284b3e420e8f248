#pragma once

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
};

} // namespace alarmcfg
