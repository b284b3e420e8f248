#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

// Named values in, named values out: where the host keeps the component's saved settings.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual void write(const QString &key, const QVariant &value, const QVariant &defaultValue) = 0;
    virtual QVariant read(const QString &key, const QVariant &defaultValue) const = 0;
};

// A bag in memory; values equal to their default are not stored.
class MemoryPropertyBag : public PropertyBag {
public:
    void write(const QString &key, const QVariant &value, const QVariant &defaultValue) override
    {
        if (value == defaultValue)
            values_.remove(key);
        else
            values_.insert(key, value);
    }
    QVariant read(const QString &key, const QVariant &defaultValue) const override
    {
        return values_.value(key, defaultValue);
    }
    const QMap<QString, QVariant> &values() const { return values_; }

private:
    QMap<QString, QVariant> values_;
};
