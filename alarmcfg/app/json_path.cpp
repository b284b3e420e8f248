#include "app/json_path.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <span>
#include <stdexcept>
#include <variant>
#include <vector>

namespace alarmcfg {

namespace {

using PathStep = std::variant<QString, int>; // object key or array index
using Path = std::vector<PathStep>;

// "a.b[2].c" -> a, b, 2, c. The table's paths are fixed text, so a malformed one is our bug.
Path parsed(const QString &path)
{
    static const QRegularExpression part(QStringLiteral("^(\\w+)((?:\\[\\d+\\])*)$"));
    static const QRegularExpression index(QStringLiteral("\\[(\\d+)\\]"));
    Path steps;
    for (const QString &text : path.split(QLatin1Char('.'))) {
        const QRegularExpressionMatch match = part.match(text);
        if (!match.hasMatch())
            throw std::invalid_argument("malformed JSON path: " + path.toStdString());
        steps.emplace_back(match.captured(1));
        for (const auto &i : index.globalMatch(match.captured(2)))
            steps.emplace_back(i.captured(1).toInt());
    }
    return steps;
}

std::optional<QJsonValue> childOf(const QJsonValue &node, const PathStep &step)
{
    if (const auto *key = std::get_if<QString>(&step)) {
        if (!node.isObject() || !node.toObject().contains(*key))
            return std::nullopt;
        return node.toObject().value(*key);
    }
    const int i = std::get<int>(step);
    if (!node.isArray() || i >= node.toArray().size())
        return std::nullopt;
    return node.toArray().at(i);
}

QJsonValue withValueAt(const QJsonValue &node, std::span<const PathStep> steps, const QJsonValue &value)
{
    if (steps.empty())
        return value;
    const auto rest = steps.subspan(1);
    if (const auto *key = std::get_if<QString>(&steps.front())) {
        QJsonObject object = node.toObject();
        object[*key] = withValueAt(object.value(*key), rest, value);
        return object;
    }
    const int i = std::get<int>(steps.front());
    QJsonArray array = node.toArray();
    while (array.size() <= i)
        array.append(QJsonValue());
    array[i] = withValueAt(array.at(i), rest, value);
    return array;
}

std::optional<QString> firstOutside(const QJsonValue &document, const QJsonValue &shape, const QString &at)
{
    const QString prefix = at.isEmpty() ? at : at + QLatin1Char('.');
    if (document.isObject() && shape.isObject()) {
        const QJsonObject object = document.toObject();
        const QJsonObject known = shape.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!known.contains(it.key()))
                return prefix + it.key();
            if (auto outside = firstOutside(it.value(), known.value(it.key()), prefix + it.key()))
                return outside;
        }
    }
    if (document.isArray() && shape.isArray()) {
        const QJsonArray array = document.toArray();
        const QJsonArray known = shape.toArray();
        for (int i = 0; i < array.size(); ++i) {
            const QString element = QStringLiteral("%1[%2]").arg(at).arg(i);
            if (i >= known.size())
                return element;
            if (auto outside = firstOutside(array.at(i), known.at(i), element))
                return outside;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QJsonValue> valueAt(const QJsonObject &root, const QString &path)
{
    std::optional<QJsonValue> node = QJsonValue(root);
    for (const PathStep &step : parsed(path)) {
        node = childOf(*node, step);
        if (!node)
            return std::nullopt;
    }
    return node;
}

void setValueAt(QJsonObject &root, const QString &path, const QJsonValue &value)
{
    const Path steps = parsed(path);
    root = withValueAt(root, steps, value).toObject();
}

std::optional<QString> firstPathOutside(const QJsonObject &document, const QJsonObject &shape)
{
    return firstOutside(document, shape, QString());
}

} // namespace alarmcfg
