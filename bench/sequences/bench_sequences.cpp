// bench_sequences analog|th DEVICE LOG
// Against a simulator on DEVICE (a device path, or a device server typed into the port box) that paces at 9600 bit/s and logs to LOG: times the program's
// connect (probe, settling pause, full read-back) and its full write (the Set button), and prints
// each beside the wire-time bound of the frames the simulator saw plus any pause the program
// must make.

#include "measure.h"
#include "results.h"
#include "wire_bound.h"

#include "app/assembly.h"
#include "connection/connect.h"
#include "connection/port_choice.h"
#include "editing/write_parameters.h"
#include "window/form_main.h"

#include <modbus/modbus.h>
#include <modbus/port_directory.h>

#include <QApplication>
#include <QListWidget>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>

namespace {

constexpr int lineBaud = 9600;
const QString phoneNumber = QStringLiteral("13800138000");

const alarmcfg::Edition *editionNamed(const QString &name)
{
    if (name == QLatin1String("analog"))
        return &alarmcfg::analogEdition();
    if (name == QLatin1String("th"))
        return &alarmcfg::temperatureHumidityEdition();
    return nullptr;
}

void report(const QString &name, const std::function<void()> &sequence, bench::WireBound &bound,
            double pausesMs = 0)
{
    const auto start = std::chrono::steady_clock::now();
    sequence();
    const bench::Micros took = std::chrono::steady_clock::now() - start;
    bench::printFigure(name + ".ms", took.count() / 1000.0);
    bench::printFigure(name + ".bound_ms", bound.takeNewMilliseconds() + pausesMs);
    bench::printFigure(name + ".requests", bound.requests());
    bench::printFigure(name + ".unanswered", bound.unanswered());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    const alarmcfg::Edition *edition = args.size() == 4 ? editionNamed(args[1]) : nullptr;
    if (!edition) {
        std::fprintf(stderr, "usage: bench_sequences analog|th DEVICE LOG\n");
        return 2;
    }
    try {
        qputenv("MODBUS_COM1", args[2].toLocal8Bit()); // the window's first port, COM1
        QStringList messages;
        alarmcfg::FormMain form(*edition);
        alarmcfg::assembleWindow(form);
        if (isDeviceServerName(args[2]) && !alarmcfg::preselectPort(form, args[2]))
            throw std::runtime_error("not a device server address: " + args[2].toStdString());
        form.setMessageSink([&](const QString &text) { messages << text; });
        form.modbus1->setMessageSink([&](const QString &text) { messages << text; });
        bench::WireBound bound(args[3], lineBaud);
        bound.takeNewMilliseconds();
        report(QStringLiteral("readback"), [&] { alarmcfg::cmdConnect_Click(form); }, bound,
               alarmcfg::settleAfterProbeMs);
        if (!form.IsConnected)
            throw std::runtime_error("the program did not connect");
        // The temperature/humidity model refuses a write without a phone number.
        if (form.ui.lstPhone->count() == 0)
            form.ui.lstPhone->addItem(phoneNumber);
        report(QStringLiteral("write"), [&] { alarmcfg::cmdRelayWrite_Click(form); }, bound);
        if (messages != QStringList{alarmcfg::WriteMessages::succeeded})
            throw std::runtime_error("unexpected messages: " + messages.join(" / ").toStdString());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_sequences: %s\n", e.what());
        return 1;
    }
    return 0;
}
