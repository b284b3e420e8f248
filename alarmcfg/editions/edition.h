#pragma once

#include "model/sensor_display.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>
#include <vector>

// The two controller models as data: the window, the read and write sequences and the factory
// values of each program come from one of these descriptions, never from scattered branches.

namespace alarmcfg {

// What a register block holds. The read-back decoding and the write dispatch on it.
enum class Field {
    Status,       // 0..6: values, inputs, relays, version
    OpenCommand,  // index = relay
    CloseCommand, // index = relay
    OpenReply,    // index = relay
    CloseReply,   // index = relay
    AllCommand,   // index 0 all on, 1 all off
    DIAlarmText,  // index = digital channel (slot of DIAlarmText)
    PhoneSlot,    // index = slot, 0-based
    AlarmText,    // index = txtTHAlmMsg index
    ActionTimes,  // txtTime(0..)
    Limits,       // txtAdc(0..3)
    Calibration,  // txtTHCalc(0..1)
    FullScale,    // txtAIRange(0..1)
    RangeCodes,   // cmbRangeSel(0..1)
    Options,      // chkHold, chkPhoneAlarm, chkAnswer
};

// One block of holding registers (always slave 1).
struct RegisterBlock {
    Field field;
    int index; // relay, channel or slot; 0 for whole blocks
    quint16 address;
    quint16 count; // registers read; for a written numeric block, registers written
};

// One step of a read sequence: a function 3 read, or refreshing txtDIAlarm from the buffer.
struct ReadStep {
    enum class Kind { Read, ShowDIAlarmText };
    Kind kind;
    RegisterBlock block; // meaningful for Read only
};

// One request of the full write, in sequence order.
struct WriteStep {
    RegisterBlock block;     // field, index, first register; count = registers of a numeric block,
                             // for a text the registers its slot holds (no write may go beyond)
    bool passwordPrefix;     // commands get "password*" in front
    bool lengthCheck;        // the 20-byte limit of commands and relay replies
    double progressAdvance;  // added to the progress bar after the request
};

// Captions and initial texts that differ between the two windows.
struct WindowTexts {
    QString sensorFrameCaption;     // Frame3
    QStringList sensorLabels;       // Label1(0..3)
    QString alarmFrameCaption;      // 通道
    QString alarmHeading;           // Label13
    QStringList limitLabels;        // Label7, Label5, Label8, Label11 captions
    QStringList limitInitial;       // txtAdc(0..3) initial
    QStringList alarmTextInitial;   // txtTHAlmMsg(0..3) initial
    QStringList relayFrameNames;    // objectName of relay i's group box
};

// Values Command1 puts into the window before it writes.
struct FactoryValues {
    int diAlarmSlots;               // DIAlarmText slots 0..n-1 get their default text
    QStringList limits;             // txtAdc(0..3)
    QStringList calibration;        // txtTHCalc(0..1)
    QStringList alarmTexts;         // txtTHAlmMsg(0..3)
    QStringList fullScale;          // txtAIRange(0..1); empty when the model has none
    std::optional<int> rangeIndex;  // cmbRangeSel selection; none when the model has none
    QString phone;                  // the one list entry
    QString password;               // txtMiMa
};

struct Edition {
    QString programName;            // "alarmcfg" / "alarmcfg_th"
    QString modelName;              // shown beside the port: the controller cannot tell its model
    int inputCount;                 // cmdDI buttons
    int relayCount;                 // cmdRelay buttons and relay group boxes
    int diAlarmStartupSlots;        // DIAlarmText slots given a default text at start-up
    SensorDisplay sensorDisplay;
    bool refusesOldFirmware;        // major version below 2 ends the program
    bool hasAnalogConversion;       // Frame21: range selection and full-scale values
    bool hasOptions;                // Frame17..Frame20 with the option check boxes
    bool hasProgressBar;            // ProgressBar1 during the full write
    bool requiresPhoneNumber;       // a write with an empty phone list is refused
    std::optional<int> limitTextMaxChars; // txtAdc texts longer than this refuse the write
    QString emptyPhoneSlotText;     // written to every slot after the listed numbers
    QStringList rangeItems;         // cmbRangeSel items (analog only)
    QString startupFullScale;       // txtAIRange start-up text (analog only)
    int clientWidthTwips;
    int clientHeightTwips;

    std::vector<RegisterBlock> readableBlocks; // every block a read reply can carry, by start address
    std::vector<ReadStep> readBack;            // after the probe, in order
    std::vector<ReadStep> onDemandRead;        // cmdRelayRead
    std::vector<WriteStep> writePlan;          // cmdRelayWrite, in order
    WindowTexts window;
    FactoryValues factory;

    // The block whose start address is `address`, if a reply there means anything.
    const RegisterBlock *blockAt(int address) const;
};

const Edition &analogEdition();
const Edition &temperatureHumidityEdition();

// The probe and every poll: the status block.
inline constexpr RegisterBlock statusBlock{Field::Status, 0, 0, 7};
inline constexpr quint8 controllerSlave = 1;
inline constexpr quint16 relayRegister = 5;

} // namespace alarmcfg
