#pragma once

#include "editions/config_write_plan.h"

#include "model/controller_config.h"

#include <vector>

// The window as a view of a configuration: it shows one and collects one from its boxes.
namespace alarmcfg {

class FormMain;

// What the window's boxes hold. A number box whose value lies outside a register's range holds
// the nearest register value in `config` and is named in `numbersOutOfRange`, in the order of
// the write.
struct CollectedConfig {
    ControllerConfig config;
    std::vector<WriteRefusal> numbersOutOfRange;
};
CollectedConfig collectConfig(const FormMain &form);

// Fills the boxes as a read-back would, then txtDIAlarm shows the selected channel's text. An
// absent all-on or all-off command leaves its box as it is; the firmware is not shown.
void showConfig(FormMain &form, const ControllerConfig &config);

} // namespace alarmcfg
