#pragma once

#include "modbus/serial_port.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

// A scripted serial port on a virtual clock. Each written frame takes the next script: reply
// chunks, a parity error and a device failure, each at a time after the write. waitForInput
// jumps the clock to the next scripted happening or to the deadline, so exact timings play
// without sleeping.
class FakeSerialPort : public SerialPort {
public:
    using Milliseconds = std::chrono::milliseconds;

    struct Chunk {
        Milliseconds at;
        QByteArray bytes;
    };
    struct Script {
        QList<Chunk> chunks;
        std::optional<Milliseconds> parityErrorAt;
        std::optional<Milliseconds> failureAt;
    };

    // Scripts for the coming writes, used in order; a write without one hears nothing.
    void expect(Script script) { scripts_.append(std::move(script)); }
    void replyAt(Milliseconds at, const QByteArray &bytes) { expect({{{at, bytes}}, {}, {}}); }
    void reply(const QByteArray &bytes) { replyAt(Milliseconds(5), bytes); }
    void silence() { expect({}); }

    // Bytes already in the receive buffer (noise, a late reply).
    void receiveNow(const QByteArray &bytes) { input_.append(bytes); }
    // Lets virtual time pass outside a request, delivering what falls due.
    void advance(Milliseconds span);

    QList<QByteArray> written;
    QString settings;
    int portNumber = 0;
    QString devicePath; // empty: portNumber
    int inputBufferSize = 0;
    int outputBufferSize = 0;
    int discardCount = 0;
    int stalledWaits = 0;   // waits that neither moved the clock nor delivered anything
    bool refuseOpen = false;
    bool refuseSettings = false;
    bool refuseWrite = false;
    bool failClose = false;

    void setBufferSizes(int inputBytes, int outputBytes) override;
    void discardInput() override;
    void setSettings(const QString &text) override;
    void setPortNumber(int number) override;
    void setDevicePath(const QString &path) override { devicePath = path; }
    bool isOpen() const override { return open_; }
    void open() override;
    void close() override;
    void write(const QByteArray &bytes) override;
    int bytesWaiting() override;
    QByteArray takeAll() override;
    CommEvent lastEvent() const override { return event_; }
    Clock::time_point now() const override { return now_; }
    void waitForInput(Clock::time_point deadline) override;

    // Milliseconds since the last write, on the virtual clock.
    double sinceLastWrite() const;

private:
    struct Happening {
        Clock::time_point at;
        QByteArray bytes;
        bool parityError = false;
        bool failure = false;
    };

    void schedule(const Script &script);
    bool deliverDue();
    void throwIfFailed() const;

    QList<Script> scripts_;
    QList<Happening> pending_;
    QByteArray input_;
    CommEvent event_ = CommEvent::None;
    bool open_ = false;
    bool failed_ = false;
    Clock::time_point now_ = Clock::time_point(std::chrono::hours(1));
    Clock::time_point lastWrite_ = now_;
};
