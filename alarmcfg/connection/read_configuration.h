#pragma once

#include "editions/edition.h"
#include "model/controller_config.h"

#include <array>
#include <optional>

namespace alarmcfg {

class ControllerLink;
class FormMain;

// Reads every value a configuration file holds from the connected controller: the read-back's
// blocks, then the all-on and all-off commands, into `start` (values the read keeps, such as a
// range code outside 0..3, keep what `start` holds). A controller that falls silent ends the read
// as the read-back's does. The configuration when every read was answered and the connection
// still stands.
std::optional<ControllerConfig> readWholeConfiguration(ControllerLink &link, const Edition &edition,
                                                       ControllerConfig start);
// The same through the window's link; the window's boxes do not change.
std::optional<ControllerConfig> readWholeConfiguration(FormMain &form, ControllerConfig start);

// The all-on and all-off commands as the controller holds them, one request each; a command whose
// read was not answered stays absent. The window's boxes do not change.
std::array<std::optional<QString>, 2> readAllCommands(FormMain &form);

} // namespace alarmcfg
