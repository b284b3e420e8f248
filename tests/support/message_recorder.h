#pragma once

#include "modbus/modbus.h"

#include <QStringList>

// Installs itself as the component's message sink and keeps every text instead of showing it.
class MessageRecorder {
public:
    explicit MessageRecorder(modbus &component)
    {
        component.setMessageSink([this](const QString &text) { texts.append(text); });
    }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    QStringList texts;
};
