#include "win32_serial_port.h"

#include "system_serial_port.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// A write that the device does not take within this time has stalled (flow control, a hung
// driver): the request fails instead of blocking the window for good.
constexpr DWORD writeStallMilliseconds = 2000;

struct OpenFailure {
    DWORD code;
    PortFailure reason;
};

// Windows refuses a second opener of a COM port with "access denied".
constexpr OpenFailure openFailures[] = {
    {ERROR_FILE_NOT_FOUND, PortFailure::NotFound},
    {ERROR_PATH_NOT_FOUND, PortFailure::NotFound},
    {ERROR_ACCESS_DENIED, PortFailure::InUse},
    {ERROR_SHARING_VIOLATION, PortFailure::InUse},
};

PortFailure openFailureOf(DWORD code)
{
    const auto match = std::find_if(std::begin(openFailures), std::end(openFailures),
                                    [code](const OpenFailure &f) { return f.code == code; });
    return match == std::end(openFailures) ? PortFailure::Other : match->reason;
}

HANDLE handleOf(void *handle)
{
    return static_cast<HANDLE>(handle);
}

QString systemMessage(DWORD code)
{
    wchar_t text[256] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, text, DWORD(std::size(text)), nullptr);
    return length > 0 ? QString::fromWCharArray(text, int(length)).trimmed()
                      : QStringLiteral("system error %1").arg(code);
}

[[noreturn]] void fail(const QString &what, PortFailure reason = PortFailure::Other)
{
    throw SerialPortError(what.toStdString(), reason);
}

[[noreturn]] void failWithLastError(const QString &what, PortFailure reason = PortFailure::Other)
{
    const DWORD code = ::GetLastError();
    fail(QStringLiteral("%1: %2").arg(what, systemMessage(code)), reason);
}

BYTE parityCode(char parity)
{
    switch (parity) {
    case 'o': return ODDPARITY;
    case 'e': return EVENPARITY;
    default: return NOPARITY;
    }
}

// Whole milliseconds up to the deadline, at least one: a read time-out of 0 would mean none.
DWORD millisecondsOf(SerialPort::Clock::duration remaining)
{
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
    return DWORD(std::clamp<long long>(milliseconds, 1, MAXDWORD - 1));
}

} // namespace

// Windows keeps a port's settings from one program to the next: the next program finds the
// device as it was before we came.
struct Win32SerialPort::FoundState {
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
};

Win32SerialPort::Win32SerialPort() = default;

Win32SerialPort::~Win32SerialPort()
{
    if (!handle_)
        return;
    giveBackFoundState();
    ::CloseHandle(handleOf(handle_));
}

QString Win32SerialPort::devicePath(int portNumber)
{
    return QStringLiteral("\\\\.\\COM%1").arg(portNumber);
}

void Win32SerialPort::setBufferSizes(int inputBytes, int outputBytes)
{
    inputCapacity_ = inputBytes;
    outputCapacity_ = outputBytes;
}

// Errors flagged for bytes thrown away here belong to no reply, so they are cleared too.
void Win32SerialPort::discardInput()
{
    received_.clear();
    lastEvent_ = CommEvent::None;
    if (!isOpen())
        return;
    DWORD errors = 0;
    if (!::PurgeComm(handleOf(handle_), PURGE_RXABORT | PURGE_RXCLEAR) ||
        !::ClearCommError(handleOf(handle_), &errors, nullptr))
        failWithLastError(QStringLiteral("discarding input"));
}

void Win32SerialPort::setSettings(const QString &settings)
{
    const LineSettings parsed = parseLineSettings(settings);
    if (!isListedSpeed(parsed.speed))
        fail(QStringLiteral("不支持的波特率 %1").arg(parsed.speed), PortFailure::SettingsRefused);
    settings_ = parsed;
}

void Win32SerialPort::setPortNumber(int number)
{
    if (number < 1)
        fail(QStringLiteral("no serial port %1").arg(number), PortFailure::NotFound);
    portNumber_ = number;
}

bool Win32SerialPort::isOpen() const
{
    return handle_ != nullptr;
}

void Win32SerialPort::open()
{
    if (isOpen())
        return;
    const std::wstring path = devicePath(portNumber_).toStdWString();
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        fail(QStringLiteral("opening COM%1: %2").arg(portNumber_).arg(systemMessage(code)),
             openFailureOf(code));
    }
    handle_ = handle;
    try {
        keepFoundState();
        configureDevice();
        discardInput();
    } catch (const SerialPortError &) {
        giveBackFoundState();
        ::CloseHandle(handle);
        handle_ = nullptr;
        throw;
    }
}

void Win32SerialPort::keepFoundState()
{
    const HANDLE handle = handleOf(handle_);
    auto found = std::make_unique<FoundState>();
    found->dcb.DCBlength = sizeof found->dcb;
    if (!::GetCommState(handle, &found->dcb) || !::GetCommTimeouts(handle, &found->timeouts))
        failWithLastError(QStringLiteral("COM%1 is not a serial port").arg(portNumber_),
                          PortFailure::NotSerialPort);
    found_ = std::move(found);
}

// A device that is gone takes nothing back; that is no failure of the close.
void Win32SerialPort::giveBackFoundState() noexcept
{
    if (!found_)
        return;
    const HANDLE handle = handleOf(handle_);
    ::SetCommState(handle, &found_->dcb);
    ::SetCommTimeouts(handle, &found_->timeouts);
    found_.reset();
}

// Raw bytes both ways: no flow control, no character substitution, errors never abort I/O.
// DTR and RTS are raised, as a POSIX terminal does on open; some line converters draw power there.
void Win32SerialPort::configureDevice() const
{
    const HANDLE handle = handleOf(handle_);
    if (!::SetupComm(handle, DWORD(inputCapacity_), DWORD(outputCapacity_)))
        failWithLastError(QStringLiteral("COM%1 is not a serial port").arg(portNumber_),
                          PortFailure::NotSerialPort);
    DCB dcb = found_->dcb;
    dcb.BaudRate = DWORD(settings_.speed);
    dcb.ByteSize = BYTE(settings_.dataBits);
    dcb.Parity = parityCode(settings_.parity);
    dcb.StopBits = settings_.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = settings_.parity != 'n';
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(handle, &dcb))
        failWithLastError(QStringLiteral("COM%1 refuses the settings").arg(portNumber_),
                          PortFailure::SettingsRefused);
    setReadTimeout(1);
}

// Only the total time counts: a read returns when all bytes it asks for have arrived or when
// the time is up, with what it has.
void Win32SerialPort::setReadTimeout(unsigned long milliseconds) const
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = milliseconds;
    timeouts.WriteTotalTimeoutConstant = writeStallMilliseconds;
    if (!::SetCommTimeouts(handleOf(handle_), &timeouts))
        failWithLastError(QStringLiteral("setting the port's time-outs"));
}

void Win32SerialPort::close()
{
    if (!isOpen())
        return;
    giveBackFoundState();
    const HANDLE handle = handleOf(std::exchange(handle_, nullptr));
    received_.clear();
    if (!::CloseHandle(handle))
        failWithLastError(QStringLiteral("closing the serial port"));
}

void Win32SerialPort::requireOpen() const
{
    if (!isOpen())
        fail(QStringLiteral("serial port not open"));
}

void Win32SerialPort::write(const QByteArray &bytes)
{
    requireOpen();
    DWORD written = 0;
    if (!::WriteFile(handleOf(handle_), bytes.constData(), DWORD(bytes.size()), &written, nullptr))
        failWithLastError(QStringLiteral("writing to the serial port"));
    if (written != DWORD(bytes.size()))
        fail(QStringLiteral("serial port does not accept output"));
}

// A device that is gone (USB adapter unplugged) fails here first.
unsigned long Win32SerialPort::takeErrorsAndQueuedCount()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handleOf(handle_), &errors, &status))
        failWithLastError(QStringLiteral("serial device failed"));
    if (errors & CE_RXPARITY)
        lastEvent_ = CommEvent::ReceiveParityError;
    return status.cbInQue;
}

// Blocks until `count` bytes have arrived or the read time-out has passed. Bytes beyond the
// input buffer are lost, as on a device whose buffer overflows.
void Win32SerialPort::readBytes(unsigned long count)
{
    QByteArray chunk(qsizetype(count), Qt::Uninitialized);
    DWORD got = 0;
    if (!::ReadFile(handleOf(handle_), chunk.data(), count, &got, nullptr))
        failWithLastError(QStringLiteral("reading from the serial port"));
    const qsizetype room = qMax<qsizetype>(0, inputCapacity_ - received_.size());
    received_.append(chunk.constData(), qMin<qsizetype>(qsizetype(got), room));
}

int Win32SerialPort::bytesWaiting()
{
    requireOpen();
    const DWORD queued = takeErrorsAndQueuedCount();
    if (queued > 0)
        readBytes(queued);
    return int(received_.size());
}

QByteArray Win32SerialPort::takeAll()
{
    requireOpen();
    return std::exchange(received_, {});
}

CommEvent Win32SerialPort::lastEvent() const
{
    return lastEvent_;
}

void Win32SerialPort::waitForBytes(Clock::time_point deadline, int count)
{
    requireOpen();
    const auto remaining = deadline - now();
    if (remaining <= Clock::duration::zero())
        return;
    setReadTimeout(millisecondsOf(remaining));
    readBytes(DWORD(count));
}

void Win32SerialPort::waitForInput(Clock::time_point deadline)
{
    waitForBytes(deadline, 1);
}

// The reply's missing bytes in one read: the wait ends when the last of them arrives, however
// the line delivers them, and never wakes in between.
void Win32SerialPort::waitForReply(Clock::time_point deadline, int expectedBytes)
{
    waitForBytes(deadline, std::max(1, expectedBytes - int(received_.size())));
}

std::unique_ptr<SerialPort> makeSystemSerialPort()
{
    return std::make_unique<Win32SerialPort>();
}
