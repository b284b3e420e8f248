#pragma once

#include <QString>

#include <functional>

namespace alarmcfg {

class FormMain;

enum class FileChoice { Save, Open, Compare };

// Asks the user for a file; an empty result means cancelled.
using FileChooser = std::function<QString(FileChoice choice)>;

// A small menu bar above the window's groups: 保存配置 (Ctrl+S) saves what the window holds,
// 打开配置 (Ctrl+O) fills the window from a file as a read-back would, without writing to the
// controller; 与控制器比较… reads the connected controller as connecting does and lists in one
// message what differs from a file, leaving the window's values as they were. A failure is told in the window's message box. Without a
// chooser, file dialogs ask.
void addConfigurationMenu(FormMain &form, FileChooser choose = {});

} // namespace alarmcfg
