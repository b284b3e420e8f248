#pragma once

#include "modbus/modbus.h"

#include <QByteArray>

// `body` followed by its CRC in the order the wire carries it.
inline QByteArray withCrc(const QByteArray &body)
{
    const auto crc = CrcCheck::GetCrc16(body, int(body.size()));
    return body + char(crc[1]) + char(crc[0]);
}
