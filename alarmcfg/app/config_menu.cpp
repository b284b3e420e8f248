#include "app/config_menu.h"

#include "app/backups.h"
#include "app/config_file.h"
#include "connection/config_view.h"
#include "connection/link.h"
#include "connection/on_demand_read.h"
#include "connection/read_configuration.h"
#include "connection/status_line.h"
#include "window/form_main.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include <memory>
#include <optional>

namespace alarmcfg {

namespace {

const QString fileFilter = QStringLiteral("配置文件 (*.json)");
const QString savedStatus = QStringLiteral("已保存配置 %1");
const QString openedStatus = QStringLiteral("已打开配置 %1");

struct MenuContext {
    FormMain &form;
    FileChooser choose;
    UrlOpener openUrl;
    QMenu *fileMenu;
    QAction *recentEnd; // the recent files are listed just above it
};

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
    const ControllerConfig file = comparedConfiguration(form.edition(), path);
    std::optional<ControllerConfig> controller;
    {
        BusyStep busy(form, readingStatus);
        controller = readWholeConfiguration(form, collectConfig(form).config);
    }
    if (!controller) {
        if (!form.isEnding() && form.IsConnected)
            form.showMessage(readFailedMessage);
        return;
    }
    QStringList lines;
    for (const ConfigDifference &difference : configDifferences(form.edition(), file, *controller))
        lines << differenceLine(difference);
    form.showMessage(lines.isEmpty() ? sameAsControllerMessage : lines.join(QLatin1Char('\n')));
}

QStringList recentConfigurations(const FormMain &form)
{
    return form.settings ? form.settings->value(recentConfigurationsKey).toStringList() : QStringList();
}

void rememberRecent(FormMain &form, const QString &path)
{
    if (!form.settings)
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList recent = recentConfigurations(form);
    recent.removeAll(absolute);
    recent.prepend(absolute);
    form.settings->setValue(recentConfigurationsKey, recent.mid(0, recentConfigurationCount));
}

void listRecent(const std::shared_ptr<MenuContext> &context);

void runFileAction(const std::shared_ptr<MenuContext> &context, FileChoice choice, const QString &path)
{
    if (path.isEmpty())
        return;
    FormMain &form = context->form;
    try {
        if (choice == FileChoice::Save)
            saveConfiguration(form, path);
        else if (choice == FileChoice::Open)
            openConfiguration(form, path);
        else if (choice == FileChoice::Compare)
            compareWithController(form, path);
        if (choice != FileChoice::Compare) {
            showStatus(form, (choice == FileChoice::Save ? savedStatus : openedStatus).arg(QFileInfo(path).fileName()));
            rememberRecent(form, path);
            listRecent(context);
        }
    } catch (const ConfigFileError &error) {
        form.showMessage(error.message());
    }
}

// Recent files go between the separator after 保存配置 and recentEnd.
void listRecent(const std::shared_ptr<MenuContext> &context)
{
    for (QAction *old : context->fileMenu->findChildren<QAction *>(QStringLiteral("mnuRecent"))) {
        context->fileMenu->removeAction(old);
        old->setParent(nullptr); // it may be the entry just triggered
        old->deleteLater();
    }
    const QStringList recent = recentConfigurations(context->form);
    for (int i = 0; i < int(recent.size()); ++i) {
        const QString path = recent[i];
        // A menu text reads '&' as a shortcut mark.
        const QString shown = QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto *action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), context->fileMenu);
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setObjectName(QStringLiteral("mnuRecent"));
        QObject::connect(action, &QAction::triggered, &context->form,
                         [context, path] { runFileAction(context, FileChoice::Open, path); });
        context->fileMenu->insertAction(context->recentEnd, action);
    }
}

QAction *addAction(QMenu *menu, const QString &name, const QString &text, const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void addFileAction(const std::shared_ptr<MenuContext> &context, FileChoice choice)
{
    const bool save = choice == FileChoice::Save;
    QAction *action = addAction(context->fileMenu, save ? QStringLiteral("mnuSaveConfig") : QStringLiteral("mnuOpenConfig"),
        save ? QStringLiteral("保存配置…") : QStringLiteral("打开配置…"), save ? QKeySequence::Save : QKeySequence::Open);
    QObject::connect(action, &QAction::triggered, &context->form,
                     [context, choice] { runFileAction(context, choice, context->choose(choice)); });
}

// Comparing needs a connection before a file is asked for.
void addCompareAction(const std::shared_ptr<MenuContext> &context)
{
    QAction *action = addAction(context->fileMenu, QStringLiteral("mnuCompareConfig"), QStringLiteral("与控制器比较…"));
    QObject::connect(action, &QAction::triggered, &context->form, [context] {
        if (!context->form.IsConnected)
            context->form.showMessage(connectFirstMessage);
        else
            runFileAction(context, FileChoice::Compare, context->choose(FileChoice::Compare));
    });
}

void openBackupFolder(const MenuContext &context)
{
    const QString folder = backupFolder();
    if (!QDir().mkpath(folder) || !context.openUrl(QUrl::fromLocalFile(folder)))
        context.form.showMessage(QStringLiteral("无法打开备份文件夹 %1").arg(QDir::toNativeSeparators(folder)));
}

void addFileMenu(QMenuBar *bar, const std::shared_ptr<MenuContext> &context)
{
    context->fileMenu = bar->addMenu(QStringLiteral("文件(&F)"));
    context->fileMenu->setObjectName(QStringLiteral("mnuFile"));
    addFileAction(context, FileChoice::Open);
    addFileAction(context, FileChoice::Save);
    addCompareAction(context);
    context->fileMenu->addSeparator();
    context->recentEnd = context->fileMenu->addSeparator();
    QAction *backups = addAction(context->fileMenu, QStringLiteral("mnuBackups"), QStringLiteral("打开备份文件夹"));
    QObject::connect(backups, &QAction::triggered, &context->form, [context] { openBackupFolder(*context); });
    context->fileMenu->addSeparator();
    QAction *quit = addAction(context->fileMenu, QStringLiteral("mnuExit"), QStringLiteral("退出"),
                              QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, &context->form, [context] { context->form.close(); });
    listRecent(context);
}

void openUserGuide(const MenuContext &context)
{
    for (const QString &path : userGuideCandidates()) {
        if (!QFileInfo::exists(path))
            continue;
        if (!context.openUrl(QUrl::fromLocalFile(path)))
            context.form.showMessage(QStringLiteral("无法打开使用说明 %1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    context.form.showMessage(QStringLiteral("找不到使用说明（README.md），请重新安装本程序"));
}

QString aboutText(const FormMain &form)
{
    return QStringLiteral("%1\n\n程序：%2 %3\n型号：%4\nQt 版本：%5\n\n版权所有 © Veltra。保留所有权利。本软件为专有软件。")
        .arg(FormMain::caption, form.edition().programName, QStringLiteral(ALARMCFG_VERSION),
             form.edition().modelName, QString::fromLatin1(qVersion()));
}

void addHelpMenu(QMenuBar *bar, const std::shared_ptr<MenuContext> &context)
{
    QMenu *menu = bar->addMenu(QStringLiteral("帮助(&H)"));
    menu->setObjectName(QStringLiteral("mnuHelp"));
    QAction *guide = addAction(menu, QStringLiteral("mnuUserGuide"), QStringLiteral("使用说明"), QKeySequence::HelpContents);
    QObject::connect(guide, &QAction::triggered, &context->form, [context] { openUserGuide(*context); });
    QAction *about = addAction(menu, QStringLiteral("mnuAbout"), QStringLiteral("关于"));
    QObject::connect(about, &QAction::triggered, &context->form,
                     [context] { context->form.showMessage(aboutText(context->form)); });
}


} // namespace

QStringList userGuideCandidates()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    return {programDir + QStringLiteral("/README.md"),
        QDir::cleanPath(programDir + QStringLiteral("/../share/doc/alarmcfg/README.md")),
        QStringLiteral(ALARMCFG_SOURCE_DIR "/README.md")};
}

void addConfigurationMenu(FormMain &form, FileChooser choose, UrlOpener openUrl)
{
    if (!choose)
        choose = [&form](FileChoice choice) { return askForFile(form, choice); };
    if (!openUrl)
        openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    auto context = std::make_shared<MenuContext>(MenuContext{form, std::move(choose), std::move(openUrl), nullptr, nullptr});
    auto *bar = new QMenuBar(&form);
    bar->setObjectName(QStringLiteral("mnuConfig"));
    addFileMenu(bar, context);
    addHelpMenu(bar, context);
    form.layout()->setMenuBar(bar);
    // The bar takes height from the groups: the window grows by it, so they need not scroll.
    form.resize(form.sizeHint());
}

} // namespace alarmcfg
