// The window's read-back decoding fed arbitrary register contents at every start address of both
// editions (and at addresses that mean nothing), through the component on a scripted port: invalid
// GBK, NULs, huge and negative numbers, any firmware version. The program end after a version
// refusal is recorded, never a real exit. The same replies put into a configuration value give
// what the window then shows.

#include "fuzz_input.h"

#include "form_rig.h"

#include "connection/config_view.h"
#include "connection/read_back_decoding.h"
#include "editions/config_decoding.h"
#include "model/register_text.h"
#include "model/status_values.h"
#include "modbus/modbus.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <memory>

namespace {

using namespace alarmcfg;

constexpr int maxReplies = 8;
constexpr int maxOddCount = 60;
constexpr int statusRegisters = 7;
constexpr int versionRegister = 6;

const Edition *const editions[] = {&analogEdition(), &temperatureHumidityEdition()};

struct Read {
    qint16 address;
    qint16 count;
    QVector<qint16> registers;
};

// Mostly a block the edition reads back; sometimes any address with any count.
Read takeRead(const Edition &edition, FuzzInput &in)
{
    Read read{};
    if (in.flag()) {
        read.address = qint16(in.word() & 0x7FFF);
        read.count = qint16(in.below(maxOddCount));
    } else {
        const RegisterBlock &block = edition.readableBlocks.at(
            std::size_t(in.below(int(edition.readableBlocks.size()))));
        read.address = qint16(block.address);
        read.count = qint16(block.count);
    }
    for (int i = 0; i < read.count; ++i)
        read.registers.append(in.signedWord());
    return read;
}

QByteArray replyFrame(const Read &read)
{
    QByteArray frame;
    frame.append(char(controllerSlave));
    frame.append(char(3));
    frame.append(char(2 * read.count));
    for (const qint16 value : read.registers) {
        frame.append(char(quint16(value) >> 8));
        frame.append(char(quint16(value) & 0xFF));
    }
    const auto crc = CrcCheck::GetCrc16(frame, int(frame.size()));
    frame.append(char(crc[1]));
    frame.append(char(crc[0]));
    return frame;
}

bool shouldRefuse(const Edition &edition, const Read &read)
{
    return edition.refusesOldFirmware && read.address == 0
           && !isFirmwareSupported(firmwareVersion(read.registers.value(versionRegister)));
}

// What a full status block must leave in the window.
void checkStatus(const FormRig &rig, const Read &read)
{
    const QVector<qint16> &r = read.registers;
    FUZZ_CHECK(rig.form->StatusSeen);
    FUZZ_CHECK(rig.form->DIState == quint16(r[4]) && rig.form->RelayState == r[5]);
    FUZZ_CHECK(rig.form->ui.lblVertion->text() == firmwareCaption(firmwareVersion(r[versionRegister])));
    for (int channel = 0; channel < 2; ++channel)
        FUZZ_CHECK(rig.form->ui.txtAI.at(std::size_t(channel))->text()
                   == sensorValueText(rig.form->edition().sensorDisplay, channel, r[channel]));
}

// Text boxes and list entries show a text only up to its first NUL.
void checkNoNulShown(const FormRig &rig)
{
    for (const QLineEdit *box : rig.form->findChildren<QLineEdit *>())
        FUZZ_CHECK(!box->text().contains(QChar(0)));
    const QListWidget *list = rig.form->ui.lstPhone;
    for (int i = 0; i < list->count(); ++i)
        FUZZ_CHECK(!list->item(i)->text().contains(QChar(0)));
}

// The window's values as a value, texts as far as it shows them; the all-on and all-off commands
// and the firmware, which the window's read-back leaves out, as `decoded` holds them.
ControllerConfig shownBy(const FormRig &rig, const ControllerConfig &decoded)
{
    ControllerConfig shown = collectConfig(*rig.form).config;
    for (QString &text : shown.inputAlarmTexts)
        text = untilFirstNul(text);
    shown.allCommands = decoded.allCommands;
    shown.firmware = decoded.firmware;
    return shown;
}

void run(FuzzInput &in)
{
    const Edition &edition = *editions[in.byte() % std::size(editions)];
    FormRig rig(edition);
    int programEnds = 0;
    rig.form->setProgramEnd([&programEnds] { ++programEnds; });
    FUZZ_CHECK(rig.form->modbus1->OpenPort());
    ControllerConfig decoded = shownBy(rig, {});

    for (int i = 0; i < maxReplies && !in.empty() && programEnds == 0; ++i) {
        const Read read = takeRead(edition, in);
        const qsizetype writtenBefore = rig.port->written.size();
        rig.port->reply(replyFrame(read));
        FUZZ_CHECK(rig.form->modbus1->FC03_ReadHoldingRegister_4X(controllerSlave, read.address,
                                                                  read.count));
        FUZZ_CHECK(rig.port->written.size() == writtenBefore + 1); // the handler sends nothing
        if (read.address == 0 && read.count >= statusRegisters)
            checkStatus(rig, read);
        if (read.count >= statusRegisters || read.address != 0)
            FUZZ_CHECK((programEnds == 1) == shouldRefuse(edition, read));
        checkNoNulShown(rig);
        applyReadReply(decoded, edition, read.address, read.registers);
        FUZZ_CHECK(shownBy(rig, decoded) == decoded);
    }
    FUZZ_CHECK(rig.messages.size() == programEnds);
    for (const QString &message : rig.messages)
        FUZZ_CHECK(message == firmwareTooOldMessage);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QApplication app(*argc, *argv);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, std::size_t size)
{
    FuzzInput in(data, size);
    run(in);
    return 0;
}
