#pragma once

#include "edition.h"

#include "model/controller_config.h"

#include <QVector>

// A configuration filled from the controller's read replies, one reply at a time.
namespace alarmcfg {

// The configuration of `edition` before anything is read: sized for the model, texts empty,
// numbers 0, the first range chosen (as the window starts), the all-on and all-off commands absent.
ControllerConfig blankConfig(const Edition &edition);

// The block a read reply at `address` fills in a configuration: one of the edition's readable
// blocks or an all-on/all-off command slot; none for any other address.
std::optional<RegisterBlock> configBlockAt(const Edition &edition, int address);

// Puts one read reply (the registers requested from `block`) into `config` as the window's
// read-back shows it. Values are kept where the window keeps them: a range code outside 0..3
// leaves its range; the phone list is emptied only by its first slot, later slots add to it.
// A short reply reads as zeros beyond its end.
void applyReadReply(ControllerConfig &config, const RegisterBlock &block, const QVector<qint16> &registers);

// The same for a reply by its start address; a reply at an address no block starts changes nothing.
void applyReadReply(ControllerConfig &config, const Edition &edition, int startAddress,
                    const QVector<qint16> &registers);

} // namespace alarmcfg
