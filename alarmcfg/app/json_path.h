#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Values of a JSON document addressed by a readable path: "relays[0].open", "options.hold".
namespace alarmcfg {

// The value at `path`; nothing when a step of the path is missing or of another type.
std::optional<QJsonValue> valueAt(const QJsonObject &root, const QString &path);

// Puts `value` at `path`, creating the objects and arrays on the way (missing array elements
// before an index are null).
void setValueAt(QJsonObject &root, const QString &path, const QJsonValue &value);

// The first path in `document` that `shape` has no place for (a key it lacks, an array element
// beyond its length); nothing when the document fits the shape. Leaves are not compared.
std::optional<QString> firstPathOutside(const QJsonObject &document, const QJsonObject &shape);

} // namespace alarmcfg
