// alarmsim: a simulated SMS alarm controller on a pseudo-terminal, for tests and demos.
#include "options.h"
#include "register_image.h"
#include "request_log.h"
#include "serial_line.h"
#include "slave.h"
#include "state_file.h"
#include "stop_signal.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace alarmsim;

namespace {

void report(const QString &message)
{
    std::fprintf(stderr, "alarmsim: %s\n", qPrintable(message));
}

QByteArray readStateFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StateFileError(("cannot read " + path + ": " + file.errorString()).toStdString());
    return file.readAll();
}

// Factory image of the edition, then the saved session, then the presets of the command line.
SlaveSetup prepareSetup(const Options &options)
{
    SlaveSetup setup;
    setup.edition = options.edition.value_or(Edition::Analog);
    setup.image.assign(registerCount, 0);
    QByteArray saved;
    if (!options.statePath.isEmpty() && QFile::exists(options.statePath)) {
        saved = readStateFile(options.statePath);
        std::vector<uint16_t> probe(registerCount);
        const Edition savedEdition = applyStateJson(saved, probe);
        if (options.edition && *options.edition != savedEdition)
            throw UsageError(("the state file holds a " + editionName(savedEdition) +
                              " controller, not " + editionName(*options.edition))
                                 .toStdString());
        setup.edition = savedEdition;
    }
    fillFactoryImage(setup.edition, setup.image);
    if (!saved.isEmpty())
        applyStateJson(saved, setup.image);
    if (options.firmware)
        setup.image[versionRegister] = *options.firmware;
    for (const PresetRegister &preset : options.presets)
        setup.image[preset.address] = preset.value;
    setup.statePath = options.statePath;
    setup.faults = options.faults;
    setup.timing = {options.baud, options.delivery, std::chrono::milliseconds(options.usbLatencyMs)};
    setup.frozen = options.frozen;
    return setup;
}

SerialLine openLine(const Options &options)
{
    return options.device.isEmpty() ? SerialLine::openPseudoTerminal()
                                     : SerialLine::openDevice(options.device, options.baud);
}

int serve(const Options &options)
{
    const StopSignal stop;
    SlaveSetup setup = prepareSetup(options);
    RequestLog log(options.logPath);
    const SerialLine line = openLine(options);
    std::printf("%s\n", qPrintable(line.path()));
    std::fflush(stdout);

    Slave slave(std::move(setup), line, log, stop);
    int exitCode = 0;
    try {
        slave.run();
    } catch (const LineError &e) {
        report(QString::fromLocal8Bit(e.what()));
        exitCode = 1;
    }
    slave.saveState();
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("alarmsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ALARMSIM_VERSION));
    try {
        const Options options = parseOptions(QCoreApplication::arguments());
        if (options.help) {
            std::printf("%s", qPrintable(helpText()));
            return 0;
        }
        if (options.version) {
            std::printf("alarmsim %s\n", ALARMSIM_VERSION);
            return 0;
        }
        return serve(options);
    } catch (const UsageError &e) {
        report(QString::fromLocal8Bit(e.what()) + "\n(see alarmsim --help)");
        return 2;
    } catch (const StateFileError &e) {
        report(QString::fromLocal8Bit(e.what()));
        return 2;
    } catch (const std::exception &e) {
        report(QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
