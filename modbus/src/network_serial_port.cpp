#include "network_serial_port.h"

#include <QTcpSocket>

#include <future>
#include <thread>
#include <utility>

namespace {

constexpr auto connectLimit = std::chrono::seconds(3);
// A server that never acknowledges a purge costs each purge this much, then we go on.
constexpr auto purgeLimit = std::chrono::milliseconds(500);
constexpr int writeStallMilliseconds = 2000;

[[noreturn]] void fail(const QString &reason, PortFailure failure = PortFailure::Other)
{
    throw SerialPortError(reason.toStdString(), failure);
}

int millisecondsUntil(SerialPort::Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SerialPort::Clock::now());
    return int(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

QString settingName(telnet_com_port::Refusal refusal)
{
    using telnet_com_port::Refusal;
    switch (refusal) {
    case Refusal::Speed: return QStringLiteral("波特率");
    case Refusal::DataBits: return QStringLiteral("数据位");
    case Refusal::Parity: return QStringLiteral("校验位");
    case Refusal::StopBits: return QStringLiteral("停止位");
    case Refusal::FlowControl: return QStringLiteral("流控制");
    default: return QStringLiteral("串口控制（RFC 2217）");
    }
}

} // namespace

NetworkSerialPort::NetworkSerialPort(HostLookup lookup) : lookup_(std::move(lookup)) {}

NetworkSerialPort::~NetworkSerialPort() = default;

QString NetworkSerialPort::where() const
{
    const QString host = address_->host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + address_->host + QLatin1Char(']')
                             : address_->host;
    return host + QLatin1Char(':') + QString::number(address_->port);
}

void NetworkSerialPort::setBufferSizes(int inputBytes, int /*outputBytes: the socket queues output*/)
{
    inputCapacity_ = inputBytes;
}

void NetworkSerialPort::setSettings(const QString &settings)
{
    settings_ = parseLineSettings(settings);
}

void NetworkSerialPort::setPortNumber(int number)
{
    fail(QStringLiteral("没有串口 %1").arg(number), PortFailure::NotFound);
}

void NetworkSerialPort::setDevicePath(const QString &path)
{
    address_ = deviceServerAddress(path);
    if (!address_)
        fail(QStringLiteral("设备服务器地址 %1 无效：请写成 tcp://主机:端口 或 rfc2217://主机:端口").arg(path),
             PortFailure::NotFound);
}

bool NetworkSerialPort::isOpen() const
{
    return socket_ != nullptr;
}

void NetworkSerialPort::open()
{
    if (isOpen())
        return;
    if (!address_)
        fail(QStringLiteral("没有设备服务器地址"), PortFailure::NotFound);
    const Clock::time_point deadline = Clock::now() + connectLimit;
    try {
        connectSocket(deadline);
        if (address_->comPortControl)
            setLine(deadline);
    } catch (const SerialPortError &) {
        socket_.reset();
        session_.reset();
        throw;
    }
    received_.clear();
}

// The system resolver cannot be cancelled and may wait far beyond the limit, and its answer must
// not wait on the window's event loop: the lookup runs on a thread of its own, which outlives a
// connect that gives up on it.
QList<QHostAddress> NetworkSerialPort::addresses(Clock::time_point deadline) const
{
    QHostAddress literal;
    if (literal.setAddress(address_->host))
        return {literal};
    auto promise = std::make_shared<std::promise<QHostInfo>>();
    std::future<QHostInfo> answer = promise->get_future();
    std::thread([lookup = lookup_, host = address_->host, promise] { promise->set_value(lookup(host)); }).detach();
    if (answer.wait_until(deadline) != std::future_status::ready)
        fail(QStringLiteral("查找设备服务器 %1 的地址超时").arg(address_->host), PortFailure::NotFound);
    const QHostInfo info = answer.get();
    if (info.error() == QHostInfo::HostNotFound || (info.error() == QHostInfo::NoError && info.addresses().isEmpty()))
        fail(QStringLiteral("找不到设备服务器 %1").arg(address_->host), PortFailure::NotFound);
    if (info.error() != QHostInfo::NoError)
        fail(QStringLiteral("无法查找设备服务器 %1：%2").arg(address_->host, info.errorString()), PortFailure::NotFound);
    return info.addresses();
}

// The addresses in turn, until one takes the connection or the limit is reached.
void NetworkSerialPort::connectSocket(Clock::time_point deadline)
{
    const QList<QHostAddress> candidates = addresses(deadline);
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        socket_ = std::make_unique<QTcpSocket>();
        // Each request is one small write that must leave at once.
        socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket_->connectToHost(candidates[i], address_->port);
        if (socket_->waitForConnected(millisecondsUntil(deadline))) {
            socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            return;
        }
        if (socket_->error() != QAbstractSocket::ConnectionRefusedError || i + 1 == candidates.size())
            failConnecting();
    }
}

void NetworkSerialPort::failConnecting()
{
    switch (socket_->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(QStringLiteral("设备服务器 %1 拒绝连接").arg(where()), PortFailure::NotFound);
    case QAbstractSocket::SocketTimeoutError:
        fail(QStringLiteral("设备服务器 %1 没有应答").arg(where()), PortFailure::NotFound);
    default:
        fail(QStringLiteral("无法连接设备服务器 %1：%2").arg(where(), socket_->errorString()));
    }
}

// The server confirms each setting with the value it took; anything else is a refusal.
void NetworkSerialPort::setLine(Clock::time_point deadline)
{
    session_.emplace(settings_);
    send(session_->opening());
    while (!session_->lineConfirmed()) {
        if (session_->refusal() != telnet_com_port::Refusal::None)
            fail(QStringLiteral("设备服务器 %1 不接受串口设置：%2")
                     .arg(where(), settingName(session_->refusal())),
                 PortFailure::SettingsRefused);
        if (millisecondsUntil(deadline) == 0)
            fail(QStringLiteral("设备服务器 %1 没有应答串口设置").arg(where()),
                 PortFailure::SettingsRefused);
        receive(millisecondsUntil(deadline));
    }
    awaitPurge(std::min(deadline, Clock::now() + purgeLimit));
}

// Waits for the acknowledgement of the purges sent, until `deadline`; a server that never sends
// one is let be.
void NetworkSerialPort::awaitPurge(Clock::time_point deadline)
{
    while (session_->purgeAwaited() && millisecondsUntil(deadline) > 0)
        receive(millisecondsUntil(deadline));
    session_->forgetPurges();
}

void NetworkSerialPort::close()
{
    if (!isOpen())
        return;
    socket_->abort();
    socket_.reset();
    session_.reset();
    received_.clear();
    lastEvent_ = CommEvent::None;
}

void NetworkSerialPort::requireOpen() const
{
    if (!isOpen())
        fail(QStringLiteral("串口未打开"));
}

void NetworkSerialPort::failLost()
{
    const QString lost = QStringLiteral("与设备服务器 %1 的连接已断开").arg(where());
    socket_.reset();
    session_.reset();
    received_.clear();
    fail(lost);
}

void NetworkSerialPort::send(const QByteArray &wire)
{
    if (socket_->write(wire) != wire.size())
        failLost();
    while (socket_->bytesToWrite() > 0)
        if (!socket_->waitForBytesWritten(writeStallMilliseconds))
            failLost();
}

void NetworkSerialPort::write(const QByteArray &bytes)
{
    requireOpen();
    send(session_ ? telnet_com_port::Session::escaped(bytes) : bytes);
}

// Takes what the socket holds, waiting up to `waitMilliseconds` for more when it holds nothing.
// Bytes beyond the input buffer are lost, as on a device whose buffer overflows.
void NetworkSerialPort::receive(int waitMilliseconds)
{
    if (socket_->bytesAvailable() == 0 && socket_->state() == QAbstractSocket::ConnectedState)
        socket_->waitForReadyRead(waitMilliseconds);
    const QByteArray wire = socket_->readAll();
    if (wire.isEmpty() && socket_->state() != QAbstractSocket::ConnectedState)
        failLost();
    QByteArray data = wire;
    if (session_) {
        telnet_com_port::Session::Fed fed = session_->feed(wire);
        if (!fed.answer.isEmpty())
            send(fed.answer);
        if (fed.purged)
            received_.clear();
        if (fed.lineError)
            lastEvent_ = CommEvent::ReceiveParityError;
        data = std::move(fed.data);
    }
    const qsizetype room = std::max<qsizetype>(0, inputCapacity_ - received_.size());
    received_.append(data.left(room));
}

void NetworkSerialPort::discardInput()
{
    if (!isOpen()) {
        received_.clear();
        lastEvent_ = CommEvent::None;
        return;
    }
    receive(0);
    // Stale bytes here mean the server may hold more of them. Purging before every request would
    // cost each request the server's acknowledgement, which delays its reply behind it.
    if (session_ && !received_.isEmpty()) {
        send(session_->purgeReceived());
        awaitPurge(Clock::now() + purgeLimit);
    }
    received_.clear();
    lastEvent_ = CommEvent::None;
}

int NetworkSerialPort::bytesWaiting()
{
    requireOpen();
    receive(0);
    return int(received_.size());
}

QByteArray NetworkSerialPort::takeAll()
{
    requireOpen();
    return std::exchange(received_, {});
}

CommEvent NetworkSerialPort::lastEvent() const
{
    return lastEvent_;
}

void NetworkSerialPort::waitForInput(Clock::time_point deadline)
{
    requireOpen();
    const int milliseconds = millisecondsUntil(deadline);
    if (milliseconds > 0)
        receive(milliseconds);
}
