#include "app/config_menu.h"

#include "app/config_file.h"
#include "connection/status_line.h"
#include "window/form_main.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>

namespace alarmcfg {

namespace {

const QString fileFilter = QStringLiteral("配置文件 (*.json)");
const QString savedStatus = QStringLiteral("已保存配置 %1");
const QString openedStatus = QStringLiteral("已打开配置 %1");

QString askForFile(FormMain &form, FileChoice choice)
{
    if (choice == FileChoice::Open)
        return QFileDialog::getOpenFileName(&form, QStringLiteral("打开配置"), QString(), fileFilter);
    QString path = QFileDialog::getSaveFileName(&form, QStringLiteral("保存配置"), QString(), fileFilter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");
    return path;
}

void runFileAction(FormMain &form, const FileChooser &choose, FileChoice choice)
{
    const QString path = choose(choice);
    if (path.isEmpty())
        return;
    try {
        if (choice == FileChoice::Save)
            saveConfiguration(form, path);
        else
            openConfiguration(form, path);
        showStatus(form, (choice == FileChoice::Save ? savedStatus : openedStatus).arg(QFileInfo(path).fileName()));
    } catch (const ConfigFileError &error) {
        form.showMessage(error.message());
    }
}

void addFileAction(FormMain &form, QMenuBar *bar, const FileChooser &choose, FileChoice choice)
{
    const bool save = choice == FileChoice::Save;
    QAction *action = bar->addAction(save ? QStringLiteral("保存配置") : QStringLiteral("打开配置"));
    action->setObjectName(save ? QStringLiteral("mnuSaveConfig") : QStringLiteral("mnuOpenConfig"));
    action->setShortcut(save ? QKeySequence::Save : QKeySequence::Open);
    QObject::connect(
        action, &QAction::triggered, &form, [&form, choose, choice] { runFileAction(form, choose, choice); });
}

} // namespace

void addConfigurationMenu(FormMain &form, FileChooser choose)
{
    if (!choose)
        choose = [&form](FileChoice choice) { return askForFile(form, choice); };
    auto *bar = new QMenuBar(&form);
    bar->setObjectName(QStringLiteral("mnuConfig"));
    addFileAction(form, bar, choose, FileChoice::Save);
    addFileAction(form, bar, choose, FileChoice::Open);
    form.layout()->setMenuBar(bar);
    // The bar takes height from the groups: the window grows by it, so they need not scroll.
    form.resize(form.sizeHint());
}

} // namespace alarmcfg
