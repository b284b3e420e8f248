#include "fake_serial_port.h"

#include <algorithm>
#include <utility>

void FakeSerialPort::advance(Milliseconds span)
{
    now_ += span;
    deliverDue();
}

void FakeSerialPort::setBufferSizes(int inputBytes, int outputBytes)
{
    inputBufferSize = inputBytes;
    outputBufferSize = outputBytes;
}

void FakeSerialPort::discardInput()
{
    ++discardCount;
    input_.clear();
    event_ = CommEvent::None;
}

void FakeSerialPort::setSettings(const QString &text)
{
    if (text.isEmpty() || refuseSettings)
        throw SerialPortError("settings refused");
    settings = text;
}

void FakeSerialPort::setPortNumber(int number)
{
    if (number < 1)
        throw SerialPortError("no such port");
    portNumber = number;
    devicePath.clear();
}

void FakeSerialPort::open()
{
    if (refuseOpen)
        throw SerialPortError("port missing or in use");
    open_ = true;
    failed_ = false;
}

void FakeSerialPort::close()
{
    if (failClose)
        throw SerialPortError("close failed");
    open_ = false;
}

void FakeSerialPort::write(const QByteArray &bytes)
{
    if (!open_ || refuseWrite)
        throw SerialPortError("port not open");
    written.append(bytes);
    lastWrite_ = now_;
    if (!scripts_.isEmpty())
        schedule(scripts_.takeFirst());
    deliverDue();
}

void FakeSerialPort::schedule(const Script &script)
{
    for (const Chunk &chunk : script.chunks)
        pending_.append({now_ + chunk.at, chunk.bytes, false, false});
    if (script.parityErrorAt)
        pending_.append({now_ + *script.parityErrorAt, {}, true, false});
    if (script.failureAt)
        pending_.append({now_ + *script.failureAt, {}, false, true});
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Happening &a, const Happening &b) { return a.at < b.at; });
}

bool FakeSerialPort::deliverDue()
{
    bool delivered = false;
    while (!pending_.isEmpty() && pending_.first().at <= now_) {
        const Happening happening = pending_.takeFirst();
        input_.append(happening.bytes);
        if (happening.parityError)
            event_ = CommEvent::ReceiveParityError;
        failed_ = failed_ || happening.failure;
        delivered = true;
    }
    return delivered;
}

void FakeSerialPort::throwIfFailed() const
{
    if (failed_)
        throw SerialPortError("device removed");
}

int FakeSerialPort::bytesWaiting()
{
    deliverDue();
    throwIfFailed();
    return int(input_.size());
}

QByteArray FakeSerialPort::takeAll()
{
    deliverDue();
    throwIfFailed();
    return std::exchange(input_, {});
}

void FakeSerialPort::waitForInput(Clock::time_point deadline)
{
    throwIfFailed();
    const Clock::time_point before = now_;
    const Clock::time_point next = pending_.isEmpty() ? deadline : std::min(deadline, pending_.first().at);
    now_ = std::max(now_, next);
    if (!deliverDue() && now_ == before)
        ++stalledWaits;
    throwIfFailed();
}

double FakeSerialPort::sinceLastWrite() const
{
    return std::chrono::duration<double, std::milli>(now_ - lastWrite_).count();
}
