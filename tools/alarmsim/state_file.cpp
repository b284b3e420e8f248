#include "state_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <vector>

namespace alarmsim {
namespace {

constexpr int rowLength = 10;

QJsonArray signedValues(std::span<const uint16_t> words)
{
    QJsonArray out;
    for (uint16_t w : words)
        out.append(int(int16_t(w)));
    return out;
}

QByteArray compactLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject fieldObject(const Field &f, std::span<const uint16_t> registers)
{
    const auto words = registers.subspan(f.address, f.count);
    QJsonObject o{{"address", f.address}, {"name", f.name}};
    if (f.isText) {
        o.insert("text", decodeText(words));
        o.insert("registers", signedValues(words));
    } else {
        o.insert("values", signedValues(words));
    }
    return o;
}

// One JSON object per line inside a list, so the file reads like a table.
QByteArray listOfLines(const QList<QByteArray> &lines)
{
    return "[\n    " + lines.join(",\n    ") + "\n  ]";
}

[[noreturn]] void fail(const QString &why)
{
    throw StateFileError(why.toStdString());
}

uint16_t registerValue(const QJsonValue &v)
{
    const double d = v.toDouble(-1e9);
    if (!v.isDouble() || d != double(qint64(d)) || d < -32768 || d > 65535)
        fail(QStringLiteral("a register value must be an integer from -32768 to 65535"));
    return uint16_t(int32_t(d) & 0xFFFF);
}

} // namespace

QByteArray stateJson(Edition edition, std::span<const uint16_t> registers)
{
    QList<QByteArray> fieldLines;
    for (const Field &f : fields(edition))
        fieldLines << compactLine(fieldObject(f, registers));
    QList<QByteArray> rowLines;
    for (std::size_t a = 0; a < registers.size(); a += rowLength) {
        const auto row = registers.subspan(a, std::min<std::size_t>(rowLength, registers.size() - a));
        rowLines << compactLine({{"address", int(a)}, {"values", signedValues(row)}});
    }
    return "{\n  \"edition\": \"" + editionName(edition).toUtf8() + "\",\n  \"fields\": " +
           listOfLines(fieldLines) + ",\n  \"registers\": " + listOfLines(rowLines) + "\n}\n";
}

Edition applyStateJson(const QByteArray &json, Registers registers)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (doc.isNull())
        fail(QStringLiteral("not JSON: ") + error.errorString());
    const auto edition = editionFromName(doc.object().value("edition").toString());
    if (!edition)
        fail(QStringLiteral("\"edition\" must be \"analog\" or \"th\""));
    if (!doc.object().value("registers").isArray())
        fail(QStringLiteral("\"registers\" must be a list of rows"));

    std::vector<uint16_t> image(registers.begin(), registers.end());
    for (const QJsonValue &row : doc.object().value("registers").toArray()) {
        const int address = row.toObject().value("address").toInt(-1);
        const QJsonArray values = row.toObject().value("values").toArray();
        if (address < 0 || address + values.size() > qsizetype(image.size()))
            fail(QStringLiteral("a row lies outside registers 0..%1").arg(image.size() - 1));
        for (qsizetype i = 0; i < values.size(); ++i)
            image[address + i] = registerValue(values[i]);
    }
    std::copy(image.begin(), image.end(), registers.begin());
    return *edition;
}

void saveStateFile(const QString &path, Edition edition, std::span<const uint16_t> registers)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(stateJson(edition, registers)) < 0 ||
        !file.commit())
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

} // namespace alarmsim
