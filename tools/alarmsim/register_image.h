#pragma once

#include <QString>
#include <QVector>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>

namespace alarmsim {

// The controller answers for every address below this; beyond it, exception 2.
constexpr int registerCount = 1300;
constexpr int textSlotRegisters = 20;
constexpr int statusAddress = 0;
constexpr int inputsRegister = 4;
constexpr int relaysRegister = 5;
constexpr int versionRegister = 6;

using Registers = std::span<uint16_t>;

enum class Edition { Analog, TemperatureHumidity };

std::optional<Edition> editionFromName(const QString &name);
QString editionName(Edition edition);
int inputCount(Edition edition);

// A named block of the register map: a text slot or a run of numbers, with its factory content.
struct Field {
    int address = 0;
    int count = 0;
    QString name;
    bool isText = false;
    QString factoryText;
    QVector<int16_t> factoryValues;
};

// The blocks of an edition's register map, ascending by address.
QVector<Field> fields(Edition edition);

// Zeroes the image and fills every field with its factory content.
void fillFactoryImage(Edition edition, Registers registers);

class TextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// GBK bytes packed two per register, high half first, an odd length padded with a zero byte.
QVector<uint16_t> encodeText(const QString &text);
// The text of a slot up to its first zero byte.
QString decodeText(std::span<const uint16_t> slot);

class RegisterRangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// Writes values from address on; throws RegisterRangeError when they do not fit in the image.
void storeRegisters(Registers registers, int address, std::span<const uint16_t> values);

} // namespace alarmsim
