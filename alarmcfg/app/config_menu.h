#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace alarmcfg {

class FormMain;

enum class FileChoice { Save, Open, Compare };

// Asks the user for a file; an empty result means cancelled.
using FileChooser = std::function<QString(FileChoice choice)>;
// Opens a file or folder with the system's program for it; false when that failed.
using UrlOpener = std::function<bool(const QUrl &url)>;

inline constexpr int recentConfigurationCount = 8;
inline const QString recentConfigurationsKey = QStringLiteral("recentConfigurations");

// The menu bar above the window's groups. 文件: 打开配置… (Ctrl+O) fills the window from a file as
// a read-back would, without writing to the controller; 保存配置… (Ctrl+S) saves what the window
// holds; 与控制器比较… reads the connected controller as connecting does and lists in one
// message what differs from a file, leaving the window's values as they were; the last configurations opened or saved (kept in the window's settings); 打开备份文件夹;
// 退出 (Ctrl+Q). 帮助: 使用说明 opens the README shipped with the program, 关于 names program,
// model, version and Qt. A failure is told in the window's message box. Without a chooser, file
// dialogs ask; without an opener, the desktop opens.
void addConfigurationMenu(FormMain &form, FileChooser choose = {}, UrlOpener openUrl = {});

// Where 使用说明 looks for the README, first found wins: beside the program (the Windows zip),
// the installed package's documentation, the source tree.
QStringList userGuideCandidates();

} // namespace alarmcfg
