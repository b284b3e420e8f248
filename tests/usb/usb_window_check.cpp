// The assembled window of either program on the guest's USB adapter, driven through its handlers
// with messages recorded. Each mode prints one line, "PASS name: ..." or "FAIL name: ...", saying
// what it saw. Unplug and re-plug are asked of the host through files in a shared folder.
#include "edition_named.h"
#include "app/assembly.h"
#include "editing/write_parameters.h"
#include "window/form_main.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

const QString adapterDevice = QStringLiteral("/dev/ttyUSB0");
const QString latencyTimer = QStringLiteral("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer");

int report(const QString &check, bool passed, const QString &seen)
{
    std::printf("%s %s: %s\n", passed ? "PASS" : "FAIL", qPrintable(check), qPrintable(seen));
    std::fflush(stdout);
    return passed ? 0 : 1;
}

struct Window {
    explicit Window(const QString &edition)
        : form(std::make_unique<alarmcfg::FormMain>(editionNamed(edition)))
    {
        alarmcfg::assembleWindow(*form);
        form->setMessageSink([this](const QString &text) { messages.append(text); });
        form->setProgramEnd([] {});
    }

    // Presses 连接 (or 断开) and lets the handlers finish.
    bool toggle(bool wantConnected)
    {
        QTest::mouseClick(form->ui.cmdConnect, Qt::LeftButton);
        return QTest::qWaitFor([&] { return form->IsConnected == wantConnected; }, 15000);
    }

    QString state() const
    {
        return QStringLiteral("IsConnected %1, caption %2, messages [%3]")
            .arg(form->IsConnected ? "true" : "false", form->ui.cmdConnect->text(),
                 messages.join(QStringLiteral(" | ")).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }

    std::unique_ptr<alarmcfg::FormMain> form;
    QStringList messages;
};

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QStringLiteral("?");
}

// Asks the host to unplug or re-plug (`request`) and waits for its answer, keeping the window's
// timers running meanwhile.
bool askHost(const QString &shared, const QString &request, const QString &answer)
{
    QFile::remove(shared + QLatin1Char('/') + answer);
    QFile(shared + QLatin1Char('/') + request).open(QIODevice::WriteOnly);
    return QTest::qWaitFor([&] { return QFileInfo::exists(shared + QLatin1Char('/') + answer); }, 10000);
}

// The /dev/serial/by-id link udev made for the adapter; empty without one.
QString byIdLink()
{
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files))
        if (link.canonicalFilePath() == adapterDevice)
            return link.fileName();
    return {};
}

// Port COM1 is the adapter udev linked by id, and its tooltip names what udev and sysfs say of it.
int discovery(const QString &edition, const QStringList &expected)
{
    Window window(edition);
    QComboBox *box = window.form->ui.cmbComSel;
    const QString item = box->itemText(0);
    const QString tip = box->itemData(0, Qt::ToolTipRole).toString();
    const QString device = window.form->portDirectory.port(1).path;
    const QString link = byIdLink();
    QStringList missing;
    for (const QString &text : expected)
        if (!tip.contains(text))
            missing << text;
    const bool passed = item == u"COM1" && QFileInfo(device).canonicalFilePath() == adapterDevice
                        && !link.isEmpty() && missing.isEmpty();
    return report(QStringLiteral("discovery-") + edition, passed,
                  QStringLiteral("%1 = %2 (by-id %3), tooltip \"%4\"%5")
                      .arg(item, device, link.isEmpty() ? QStringLiteral("none") : link,
                           QString(tip).replace('\n', ' '),
                           missing.isEmpty() ? QString() : QStringLiteral(", missing: ") + missing.join(", ")));
}

// Connects, disconnects and connects again (run as a user in dialout, not root).
int reconnect()
{
    Window window(QStringLiteral("analog"));
    const bool first = window.toggle(true);
    const bool off = first && window.toggle(false);
    const bool again = off && window.toggle(true);
    return report(QStringLiteral("dialout-user"), again && window.messages.isEmpty(),
                  QStringLiteral("connect %1, disconnect %2, connect again %3; %4")
                      .arg(first ? "ok" : "failed", off ? "ok" : "failed", again ? "ok" : "failed",
                           window.state()));
}

// The adapter's latency timer is 1 ms while the window holds the port, and as before afterwards.
int lowLatency()
{
    Window window(QStringLiteral("analog"));
    const QString before = fileText(latencyTimer);
    const bool connected = window.toggle(true);
    const QString held = fileText(latencyTimer);
    const bool released = window.toggle(false);
    const QString after = fileText(latencyTimer);
    return report(QStringLiteral("low-latency"),
                  connected && released && held == u"1" && after == before && before != u"1",
                  QStringLiteral("latency_timer %1 before, %2 while connected, %3 after; %4")
                      .arg(before, held, after, window.state()));
}

// Unplugged while polling: one message, offline, no hang; re-plugged, ttyUSB0 again and 连接 works.
int unplugWhilePolling(const QString &shared)
{
    Window window(QStringLiteral("analog"));
    if (!window.toggle(true))
        return report(QStringLiteral("unplug-window"), false, QStringLiteral("no connection: ") + window.state());
    QTest::qWait(1500); // a few polls
    const bool unplugged = askHost(shared, QStringLiteral("unplug"), QStringLiteral("unplugged"));
    const bool offline = QTest::qWaitFor([&] { return !window.form->IsConnected; }, 5000);
    QTest::qWait(1500); // time for a second message, which must not come
    const QString afterUnplug = window.state();
    const bool oneMessage = window.messages.size() == 1 && window.messages[0].contains(adapterDevice);
    const bool caption = window.form->ui.cmdConnect->text() == u"链接";

    const bool replugged = askHost(shared, QStringLiteral("replug"), QStringLiteral("replugged"))
                           && QTest::qWaitFor([] { return QFileInfo::exists(adapterDevice); }, 10000);
    QTest::qWait(1000); // udev's links and group
    window.messages.clear();
    const bool again = replugged && window.toggle(true);
    const bool passed = unplugged && offline && oneMessage && caption && replugged && again;
    return report(QStringLiteral("unplug-window"), passed,
                  QStringLiteral("after unplug: %1; re-plugged as %2, connect again %3 (%4)")
                      .arg(afterUnplug, replugged ? adapterDevice : QStringLiteral("no ttyUSB0"),
                           again ? "ok" : "failed", window.state()));
}

// Unplugged during 设置: one message that says the write was cut short.
int unplugDuringWrite(const QString &shared)
{
    Window window(QStringLiteral("analog"));
    if (!window.toggle(true))
        return report(QStringLiteral("unplug-write"), false, QStringLiteral("no connection: ") + window.state());
    QFile(shared + QStringLiteral("/unplug")).open(QIODevice::WriteOnly);
    QTest::mouseClick(window.form->ui.cmdRelayWrite, Qt::LeftButton);
    const bool offline = QTest::qWaitFor([&] { return !window.form->IsConnected; }, 5000);
    QTest::qWait(1000); // time for a second message, which must not come
    const bool passed = offline && window.messages.size() == 1
                        && window.messages[0].contains(alarmcfg::WriteMessages::connectionLostDuringWrite);
    const bool written = QFileInfo::exists(shared + QStringLiteral("/unplugged"));
    const bool replugged = askHost(shared, QStringLiteral("replug"), QStringLiteral("replugged"));
    return report(QStringLiteral("unplug-write"), passed && written && replugged,
                  QStringLiteral("%1%2").arg(window.state(), written ? QString() : QStringLiteral(", the write ended before the unplug")));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == u"discovery")
        return discovery(args.value(1), args.mid(2));
    if (mode == u"reconnect")
        return reconnect();
    if (mode == u"low-latency")
        return lowLatency();
    if (mode == u"unplug-window")
        return unplugWhilePolling(args.value(1));
    if (mode == u"unplug-write")
        return unplugDuringWrite(args.value(1));
    std::fprintf(stderr, "usage: usb_window_check discovery EDITION TEXT... | reconnect | low-latency"
                         " | unplug-window DIR | unplug-write DIR\n");
    return 2;
}
