#include "app/config_menu.h"

#include "app/config_file.h"
#include "app/headless_run.h"
#include "connection/link.h"
#include "connection/on_demand_read.h"
#include "connection/status_line.h"
#include "window/form_main.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QScopeGuard>

#include <optional>

namespace alarmcfg {

namespace {

const QString fileFilter = QStringLiteral("配置文件 (*.json)");

const QString sameAsControllerMessage = QStringLiteral("与控制器一致");

QString askForFile(FormMain &form, FileChoice choice)
{
    if (choice == FileChoice::Open)
        return QFileDialog::getOpenFileName(&form, QStringLiteral("打开配置"), QString(), fileFilter);
    if (choice == FileChoice::Compare)
        return QFileDialog::getOpenFileName(&form, QStringLiteral("与控制器比较"), QString(), fileFilter);
    QString path = QFileDialog::getSaveFileName(&form, QStringLiteral("保存配置"), QString(), fileFilter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");
    return path;
}

// The file is checked before anything is read, so a bad file costs no traffic. The window keeps
// what the user typed: comparing changes nothing in it.
void compareWithController(FormMain &form, const QString &path)
{
    differencesFromFile(form, path);
    const WindowSnapshot typed(form);
    std::optional<std::vector<ConfigDifference>> differences;
    {
        const auto putBack = qScopeGuard([&] { typed.restore(form); });
        BusyStep busy(form, readingStatus);
        if (readWholeConfiguration(form))
            differences = differencesFromFile(form, path);
    }
    if (!differences) {
        if (!form.isEnding() && form.IsConnected)
            form.showMessage(readFailedMessage);
        return;
    }
    QStringList lines;
    for (const ConfigDifference &difference : *differences)
        lines << differenceLine(difference);
    form.showMessage(lines.isEmpty() ? sameAsControllerMessage : lines.join(QLatin1Char('\n')));
}

void runFileAction(FormMain &form, const FileChooser &choose, FileChoice choice)
{
    if (choice == FileChoice::Compare && !form.IsConnected) {
        form.showMessage(connectFirstMessage);
        return;
    }
    const QString path = choose(choice);
    if (path.isEmpty())
        return;
    try {
        if (choice == FileChoice::Save)
            saveConfiguration(form, path);
        else if (choice == FileChoice::Open)
            openConfiguration(form, path);
        else
            compareWithController(form, path);
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

void addCompareAction(FormMain &form, QMenuBar *bar, const FileChooser &choose)
{
    QAction *action = bar->addAction(QStringLiteral("与控制器比较…"));
    action->setObjectName(QStringLiteral("mnuCompareConfig"));
    QObject::connect(action, &QAction::triggered, &form,
        [&form, choose] { runFileAction(form, choose, FileChoice::Compare); });
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
    addCompareAction(form, bar, choose);
    form.layout()->setMenuBar(bar);
    // The bar takes height from the groups: the window grows by it, so they need not scroll.
    form.resize(form.sizeHint());
}

} // namespace alarmcfg
