#pragma once

namespace alarmcfg {

// Qt's own texts (message box buttons, file dialogs, the command line parser's errors and usage)
// in Chinese whatever the system's language. Looks beside the program first (the Windows zip
// carries translations/), then in Qt's translations folder. Needs the application object; false
// when no translation was found, and Qt's texts stay English.
bool installQtTranslations();

} // namespace alarmcfg
