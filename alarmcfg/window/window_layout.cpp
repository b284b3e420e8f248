#include "window/window_layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include <array>
#include <utility>

namespace alarmcfg {

QString arrayName(const QString &name, int index)
{
    return name + QLatin1Char('_') + QString::number(index);
}

namespace {

// Window texts that belong to one arrangement rather than to a model's data.
struct Arrangement {
    bool wide;                 // option groups in the relay frame, buttons beside them
    QString rightsLabelName;   // the maker's rights notice
    QString contactLabelName;  // the maker's contact line
    QString label6Caption;     // heading of the bottom row of Frame8
};

const Arrangement wideArrangement{true, QStringLiteral("Label2"), QStringLiteral("Label4"),
                                  QStringLiteral("全局设置：")};
const Arrangement compactArrangement{false, QStringLiteral("Label12"), QStringLiteral("Label17"),
                                     QStringLiteral("指令密码：")};

// The model with option bits has the large window with the option groups.
const Arrangement &arrangementFor(const Edition &edition)
{
    return edition.hasOptions ? wideArrangement : compactArrangement;
}

const QString rightsNotice = QStringLiteral("© Veltra. 保留所有权利。");
const QString contactLine = QStringLiteral("技术支持与服务：请联系您的 Veltra 经销商");

// Row labels of the relay text boxes, top to bottom.
const std::array<std::pair<const char *, const char *>, 5> relayRowLabels{{
    {"Label14", "开启命令："},
    {"Label9", "回复命令："},
    {"Label10", "关闭命令："},
    {"Label16", "回复命令："},
    {"Label15", "动作时间："},
}};

// Labels of the four limit rows of 通道, k = 0..3.
const std::array<const char *, 4> limitLabelNames{"Label7", "Label5", "Label8", "Label11"};

template <class W, class... Args>
W *make(QWidget *parent, const QString &name, Args &&...args)
{
    auto *widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    return widget;
}

// Margins and spacing inside group boxes and around the window: the windows have to fit a
// 1366 x 768 laptop screen, and the style's defaults spend a tenth of that on borders.
constexpr int boxMargin = 5;
constexpr int boxSpacing = 4;

// A nested layout: its parent layout gives the margins.
template <class L>
L *tight(L *layout)
{
    layout->setSpacing(boxSpacing);
    return layout;
}

// A layout that fills `box`.
template <class L>
L *tightIn(QWidget *box)
{
    auto *layout = tight(new L(box));
    layout->setContentsMargins(boxMargin, boxMargin, boxMargin, boxMargin);
    return layout;
}

// Number boxes need room for a signed register value, not the style's 17 characters.
constexpr int numberCharacters = 7;

void fitNumbers(const std::vector<QLineEdit *> &boxes)
{
    for (QLineEdit *box : boxes) {
        const int frame = 2 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, box);
        const int innerMargins = 4; // QLineEdit's own space left and right of the text
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QString(numberCharacters, u'0'))
                             + frame + innerMargins);
    }
}

// A button that may shrink to its caption instead of the style's preferred 80 pixels.
QPushButton *shrinkable(QPushButton *button)
{
    const QStyle *style = button->style();
    const int padding = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                             + style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + padding);
    return button;
}

// Width to spare in a group of narrow boxes goes right of them, not between label and box.
void keepLeft(QGridLayout *grid)
{
    grid->setColumnStretch(grid->columnCount(), 1);
}

QComboBox *makeCombo(QWidget *parent, const QString &name)
{
    auto *box = make<QComboBox>(parent, name);
    box->setEditable(true);
    // A typed text that is no item stays text; it never becomes a new item.
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

QPushButton *makeIndicator(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = make<QPushButton>(parent, name, caption);
    // Square and just large enough for "Q7" with the style's button margins.
    const int side = button->fontMetrics().height() * 8 / 5;
    button->setFixedSize(side, side);
    button->setAutoFillBackground(true);
    return button;
}

template <class W>
std::vector<W *> makeArray(QWidget *parent, const QString &name, int count,
                           const QStringList &texts = {})
{
    std::vector<W *> widgets;
    for (int i = 0; i < count; ++i)
        widgets.push_back(make<W>(parent, arrayName(name, i), texts.value(i)));
    return widgets;
}

QLabel *centred(QLabel *label)
{
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// The row labels left of the relay frames, kept level with the text boxes of the first frame
// whatever fonts and style make of the group box title.
class RowLabelColumn : public QWidget {
public:
    RowLabelColumn(QWidget *parent, QGroupBox *alignedFrame)
        : QWidget(parent), frame_(alignedFrame), layout_(new QVBoxLayout(this))
    {
        layout_->setContentsMargins(0, 0, 0, 0);
        frame_->installEventFilter(this);
    }

    void addRow(QLabel *label, QWidget *box)
    {
        layout_->addWidget(label);
        rows_.emplace_back(label, box);
    }

    void finish() { layout_->addStretch(1); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move
            || event->type() == QEvent::Show)
            align();
        return false;
    }

private:
    int topOf(const QWidget *box) const
    {
        return box->mapTo(window(), QPoint()).y() - mapTo(window(), QPoint()).y();
    }

    void align()
    {
        if (rows_.size() < 2)
            return;
        const QWidget *first = rows_[0].second;
        const QWidget *second = rows_[1].second;
        const int top = topOf(first);
        const int spacing = topOf(second) - top - first->height();
        if (top < 0 || spacing < 0)
            return;
        layout_->setContentsMargins(0, top, 0, 0);
        layout_->setSpacing(spacing);
        for (auto &[label, box] : rows_)
            label->setFixedHeight(box->height());
    }

    QGroupBox *frame_;
    QVBoxLayout *layout_;
    std::vector<std::pair<QLabel *, QWidget *>> rows_;
};

class WindowBuilder {
public:
    WindowBuilder(QWidget *window, const Edition &edition)
        : window_(new QWidget), edition_(edition), arrangement_(arrangementFor(edition))
    {
        placeInWindow(window);
    }

    Controls build()
    {
        if (arrangement_.wide)
            arrangeWide();
        else
            arrangeCompact();
        return std::move(ui_);
    }

private:
    QGroupBox *frame(const QString &name, const QString &caption)
    {
        return make<QGroupBox>(window_, name, caption);
    }

    QGroupBox *serialFrame()
    {
        auto *box = frame(QStringLiteral("Frame6"), QStringLiteral("串口设置"));
        ui_.cmbComSel = makeCombo(box, QStringLiteral("cmbComSel"));
        ui_.cmdConnect = make<QPushButton>(box, QStringLiteral("cmdConnect"), QStringLiteral("连接"));
        ui_.cmdConnect->setToolTip(QStringLiteral(
            "连接：打开所选串口，读取控制器的全部参数到窗口并保存一份备份，此后每秒读取实时状态；"
            "不写入控制器。\n断开：关闭串口，窗口中的参数保留。"));
        auto *row = tightIn<QHBoxLayout>(box);
        row->addWidget(ui_.cmbComSel, 1);
        row->addWidget(ui_.cmdConnect);
        return box;
    }

    QGroupBox *versionFrame()
    {
        auto *box = frame(QStringLiteral("Frame16"), QStringLiteral("固件版本"));
        ui_.Label1[4] = make<QLabel>(box, arrayName(QStringLiteral("Label1"), 4), QString());
        ui_.lblVertion = make<QLabel>(box, QStringLiteral("lblVertion"), QStringLiteral("0.0"));
        auto *row = tightIn<QHBoxLayout>(box);
        row->addWidget(ui_.Label1[4]);
        row->addWidget(ui_.lblVertion, 1);
        return box;
    }

    QGroupBox *sensorFrame()
    {
        const WindowTexts &texts = edition_.window;
        auto *box = frame(QStringLiteral("Frame3"), texts.sensorFrameCaption);
        for (int i = 0; i < 4; ++i)
            ui_.Label1[i] = make<QLabel>(box, arrayName(QStringLiteral("Label1"), i),
                                         texts.sensorLabels.value(i));
        const QStringList zeros{QStringLiteral("0"), QStringLiteral("0")};
        ui_.txtAI = makeArray<QLineEdit>(box, QStringLiteral("txtAI"), 2, zeros);
        ui_.txtTHCalc = makeArray<QLineEdit>(box, QStringLiteral("txtTHCalc"), 2, zeros);
        fitNumbers(ui_.txtAI);
        fitNumbers(ui_.txtTHCalc);
        auto *grid = tightIn<QGridLayout>(box);
        grid->addWidget(centred(ui_.Label1[0]), 0, 1);
        grid->addWidget(centred(ui_.Label1[1]), 0, 2);
        grid->addWidget(ui_.Label1[2], 1, 0);
        grid->addWidget(ui_.Label1[3], 2, 0);
        for (int channel = 0; channel < 2; ++channel) {
            grid->addWidget(ui_.txtAI[channel], 1, channel + 1);
            grid->addWidget(ui_.txtTHCalc[channel], 2, channel + 1);
        }
        keepLeft(grid);
        return box;
    }

    QGroupBox *digitalFrame()
    {
        auto *box = frame(QStringLiteral("Frame2"), QStringLiteral("数字量状态"));
        auto *grid = tightIn<QGridLayout>(box);
        for (int k = 0; k < edition_.inputCount; ++k) {
            ui_.cmdDI.push_back(makeIndicator(box, arrayName(QStringLiteral("cmdDI"), k),
                                              QStringLiteral("I%1").arg(k)));
            grid->addWidget(ui_.cmdDI.back(), 0, k);
        }
        for (int k = 0; k < edition_.relayCount; ++k) {
            ui_.cmdRelay.push_back(makeIndicator(box, arrayName(QStringLiteral("cmdRelay"), k),
                                                 QStringLiteral("Q%1").arg(k)));
            grid->addWidget(ui_.cmdRelay.back(), 1, k);
        }
        return box;
    }

    QGroupBox *conversionFrame()
    {
        auto *box = frame(QStringLiteral("Frame21"), QStringLiteral("模拟量转换"));
        const QStringList captions{QStringLiteral("输入选择："), QStringLiteral("满量程值："),
                                   QStringLiteral("模拟通道0"), QStringLiteral("模拟通道1")};
        for (int i = 5; i <= 8; ++i)
            ui_.Label1[i] = make<QLabel>(box, arrayName(QStringLiteral("Label1"), i), captions[i - 5]);
        for (int channel = 0; channel < 2; ++channel)
            ui_.cmbRangeSel.push_back(makeCombo(box, arrayName(QStringLiteral("cmbRangeSel"), channel)));
        ui_.txtAIRange = makeArray<QLineEdit>(box, QStringLiteral("txtAIRange"), 2);
        fitNumbers(ui_.txtAIRange);
        auto *grid = tightIn<QGridLayout>(box);
        grid->addWidget(centred(ui_.Label1[7]), 0, 1);
        grid->addWidget(centred(ui_.Label1[8]), 0, 2);
        grid->addWidget(ui_.Label1[5], 1, 0);
        grid->addWidget(ui_.Label1[6], 2, 0);
        for (int channel = 0; channel < 2; ++channel) {
            grid->addWidget(ui_.cmbRangeSel[channel], 1, channel + 1);
            grid->addWidget(ui_.txtAIRange[channel], 2, channel + 1);
        }
        keepLeft(grid);
        return box;
    }

    QGroupBox *phoneFrame(QWidget *parent)
    {
        auto *box = make<QGroupBox>(parent, QStringLiteral("Frame15"), QStringLiteral("手机号码设置"));
        ui_.cmdAddPhone = make<QPushButton>(box, QStringLiteral("cmdAddPhone"), QStringLiteral("添加"));
        ui_.cmdDelPhone = make<QPushButton>(box, QStringLiteral("cmdDelPhone"), QStringLiteral("删除"));
        ui_.txtPhone = make<QLineEdit>(box, QStringLiteral("txtPhone"), QStringLiteral("15800000000"));
        ui_.lstPhone = make<QListWidget>(box, QStringLiteral("lstPhone"));
        auto *grid = tightIn<QGridLayout>(box);
        grid->addWidget(shrinkable(ui_.cmdAddPhone), 0, 0);
        grid->addWidget(shrinkable(ui_.cmdDelPhone), 0, 1);
        grid->addWidget(ui_.txtPhone, 1, 0, 1, 2);
        grid->addWidget(ui_.lstPhone, 2, 0, 1, 2);
        return box;
    }

    QGroupBox *limitFrame(QWidget *parent)
    {
        const WindowTexts &texts = edition_.window;
        auto *box = make<QGroupBox>(parent, QStringLiteral("通道"), texts.alarmFrameCaption);
        auto *grid = tightIn<QGridLayout>(box);
        grid->addWidget(make<QLabel>(box, QStringLiteral("Label13"), texts.alarmHeading), 0, 2);
        ui_.txtAdc = makeArray<QLineEdit>(box, QStringLiteral("txtAdc"), 4, texts.limitInitial);
        fitNumbers(ui_.txtAdc);
        ui_.txtTHAlmMsg =
            makeArray<QLineEdit>(box, QStringLiteral("txtTHAlmMsg"), 4, texts.alarmTextInitial);
        for (int k = 0; k < 4; ++k) {
            grid->addWidget(make<QLabel>(box, QString::fromLatin1(limitLabelNames[k]),
                                         texts.limitLabels.value(k)),
                            k + 1, 0);
            grid->addWidget(ui_.txtAdc[k], k + 1, 1);
            grid->addWidget(ui_.txtTHAlmMsg[k], k + 1, 2);
        }
        grid->setColumnStretch(2, 1);
        grid->setRowStretch(5, 1);
        return box;
    }

    QGroupBox *diAlarmFrame(QWidget *parent)
    {
        auto *box = make<QGroupBox>(parent, QStringLiteral("Frame1"), QStringLiteral("数字量短信报警设置"));
        ui_.cmbDISel = makeCombo(box, QStringLiteral("cmbDISel"));
        ui_.txtDIAlarm = make<QPlainTextEdit>(box, QStringLiteral("txtDIAlarm"));
        auto *grid = tightIn<QGridLayout>(box);
        grid->addWidget(make<QLabel>(box, QStringLiteral("Label3"), QStringLiteral("通道选择")), 0, 0);
        grid->addWidget(ui_.cmbDISel, 0, 1);
        grid->addWidget(ui_.txtDIAlarm, 1, 0, 1, 2);
        grid->setColumnStretch(1, 1);
        return box;
    }

    QGroupBox *alarmFrame()
    {
        auto *box = frame(QStringLiteral("Frame4"), QStringLiteral("报警设置"));
        auto *row = tightIn<QHBoxLayout>(box);
        row->addWidget(phoneFrame(box), 2);
        row->addWidget(limitFrame(box), 4);
        row->addWidget(diAlarmFrame(box), 3);
        return box;
    }

    QGroupBox *relayTextFrame(QWidget *parent, int relay)
    {
        auto *box = make<QGroupBox>(parent, edition_.window.relayFrameNames.value(relay),
                                    QStringLiteral("继电器%1").arg(relay + 1));
        auto *column = tightIn<QVBoxLayout>(box);
        for (auto *texts : {&ui_.txtOpen, &ui_.txtAnswer, &ui_.txtClose, &ui_.txtCAnswer, &ui_.txtTime})
            column->addWidget(texts->at(relay));
        column->addStretch(1);
        return box;
    }

    // Frame8's upper part: the row labels and one group box per relay, in grid row 0.
    QGroupBox *relayFrame(QGridLayout *&grid)
    {
        auto *box = frame(QStringLiteral("Frame8"), QStringLiteral("继电器指令设置"));
        const int relays = edition_.relayCount;
        ui_.txtOpen = makeArray<QLineEdit>(box, QStringLiteral("txtOpen"), relays);
        ui_.txtAnswer = makeArray<QLineEdit>(box, QStringLiteral("txtAnswer"), relays);
        ui_.txtClose = makeArray<QLineEdit>(box, QStringLiteral("txtClose"), relays);
        ui_.txtCAnswer = makeArray<QLineEdit>(box, QStringLiteral("txtCAnswer"), relays);
        ui_.txtTime = makeArray<QLineEdit>(box, QStringLiteral("txtTime"), relays,
                                           QStringList(relays, QStringLiteral("0")));
        grid = tightIn<QGridLayout>(box);
        for (int relay = 0; relay < relays; ++relay) {
            ui_.relayFrames.push_back(relayTextFrame(box, relay));
            grid->addWidget(ui_.relayFrames.back(), 0, relay + 1);
            grid->setColumnStretch(relay + 1, 1);
        }
        auto *labels = new RowLabelColumn(box, ui_.relayFrames.front());
        const std::array<QLineEdit *, 5> rowBoxes{ui_.txtOpen[0], ui_.txtAnswer[0], ui_.txtClose[0],
                                                  ui_.txtCAnswer[0], ui_.txtTime[0]};
        for (std::size_t row = 0; row < relayRowLabels.size(); ++row)
            labels->addRow(make<QLabel>(labels, QString::fromLatin1(relayRowLabels[row].first),
                                        QString::fromUtf8(relayRowLabels[row].second)),
                           rowBoxes[row]);
        labels->finish();
        grid->addWidget(labels, 0, 0);
        ui_.txtMiMa = make<QLineEdit>(box, QStringLiteral("txtMiMa"), QStringLiteral("739164"));
        ui_.txtAllCmd = makeArray<QLineEdit>(box, QStringLiteral("txtAllCmd"), 2,
                                             {QStringLiteral("全开"), QStringLiteral("全关")});
        return box;
    }

    QGroupBox *settingFrame(QWidget *parent, const QString &name, const QString &caption,
                            QWidget *content)
    {
        auto *box = make<QGroupBox>(parent, name, caption);
        (tightIn<QHBoxLayout>(box))->addWidget(content);
        return box;
    }

    QGroupBox *optionsFrame(QWidget *parent)
    {
        auto *box = make<QGroupBox>(parent, QStringLiteral("Frame20"), QStringLiteral("系统选项"));
        ui_.chkHold = make<QCheckBox>(box, QStringLiteral("chkHold"), QStringLiteral("掉电记忆"));
        ui_.chkPhoneAlarm = make<QCheckBox>(box, QStringLiteral("chkPhoneAlarm"), QStringLiteral("电话报警"));
        ui_.chkAnswer = make<QCheckBox>(box, QStringLiteral("chkAnswer"), QStringLiteral("短信回复"));
        auto *row = tightIn<QHBoxLayout>(box);
        row->addWidget(ui_.chkHold);
        row->addWidget(ui_.chkPhoneAlarm);
        row->addWidget(ui_.chkAnswer);
        return box;
    }

    void makeCommandButtons(QWidget *parent)
    {
        ui_.cmdRelayWrite = make<QPushButton>(parent, QStringLiteral("cmdRelayWrite"), QStringLiteral("设置"));
        ui_.cmdRelayRead = make<QPushButton>(parent, QStringLiteral("cmdRelayRead"), QStringLiteral("读取"));
        ui_.Command1 = make<QPushButton>(parent, QStringLiteral("Command1"), QStringLiteral("恢复出厂"));
        ui_.cmdRelayWrite->setToolTip(
            QStringLiteral("把窗口中的全部参数写入已连接的控制器，替换控制器中原有的参数。"));
        ui_.cmdRelayRead->setToolTip(
            QStringLiteral("从已连接的控制器重新读取继电器指令等参数到窗口；不写入控制器。"));
        ui_.Command1->setToolTip(QStringLiteral(
            "把出厂参数填入窗口；已连接时立即写入控制器，不再询问，控制器中的号码和指令被替换。"
            "连接时保存的备份可恢复原有参数。"));
    }

    template <class Layout>
    Layout *commandButtonBox()
    {
        auto *layout = new Layout;
        layout->addWidget(ui_.cmdRelayWrite);
        layout->addWidget(ui_.cmdRelayRead);
        layout->addWidget(ui_.Command1);
        return layout;
    }

    // Bottom row of the wide window: global settings in group boxes, then the three buttons.
    void addGlobalSettingsRow(QGroupBox *box, QGridLayout *grid)
    {
        grid->addWidget(make<QLabel>(box, QStringLiteral("Label6"), arrangement_.label6Caption), 1, 0);
        grid->addWidget(settingFrame(box, QStringLiteral("Frame17"), QStringLiteral("指令密码"), ui_.txtMiMa), 1, 1);
        grid->addWidget(settingFrame(box, QStringLiteral("Frame18"), QStringLiteral("全开指令"), ui_.txtAllCmd[0]), 1, 2);
        grid->addWidget(settingFrame(box, QStringLiteral("Frame19"), QStringLiteral("全关指令"), ui_.txtAllCmd[1]), 1, 3);
        grid->addWidget(optionsFrame(box), 1, 4, 1, 2);
        makeCommandButtons(box);
        auto *buttons = commandButtonBox<QHBoxLayout>();
        buttons->insertStretch(0, 1);
        grid->addLayout(buttons, 1, 6, 1, edition_.relayCount - 5);
    }

    // Bottom row of the compact window: password and the two all-relay commands with labels,
    // the three boxes sharing the row alike.
    void addCommandRow(QGroupBox *box, QGridLayout *grid)
    {
        grid->addWidget(make<QLabel>(box, QStringLiteral("Label6"), arrangement_.label6Caption), 1, 0);
        auto *row = tight(new QHBoxLayout);
        row->addWidget(ui_.txtMiMa, 1);
        const std::array<std::pair<const char *, const char *>, 2> labels{
            {{"Label2", "全开命令："}, {"Label4", "全关命令："}}};
        for (int i = 0; i < 2; ++i) {
            row->addWidget(make<QLabel>(box, QString::fromLatin1(labels[i].first),
                                        QString::fromUtf8(labels[i].second)));
            row->addWidget(ui_.txtAllCmd[i], 1);
        }
        grid->addLayout(row, 1, 1, 1, edition_.relayCount);
    }

    QProgressBar *progressBar()
    {
        auto *bar = make<QProgressBar>(window_, QStringLiteral("ProgressBar1"));
        bar->setRange(0, 100);
        bar->setValue(0);
        QSizePolicy policy = bar->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        bar->setSizePolicy(policy);
        bar->hide();
        return bar;
    }

    void addStaticLines(QVBoxLayout *layout)
    {
        layout->addWidget(centred(make<QLabel>(window_, arrangement_.rightsLabelName, rightsNotice)));
        layout->addWidget(centred(make<QLabel>(window_, arrangement_.contactLabelName, contactLine)));
    }

    // The groups scroll inside the window when a screen (or its scaling) leaves less room than
    // they need; the status line stays in sight below them.
    void placeInWindow(QWidget *window)
    {
        ui_.clientArea = make<QScrollArea>(window, QStringLiteral("clientArea"));
        ui_.clientArea->setFrameShape(QFrame::NoFrame);
        ui_.clientArea->setWidgetResizable(true);
        ui_.clientArea->setWidget(window_);
        auto *column = new QVBoxLayout(window);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        column->addWidget(ui_.clientArea, 1);
        column->addWidget(statusLine(window));
    }

    // What the program is doing (left) and the device of the port chosen in cmbComSel (right).
    QStatusBar *statusLine(QWidget *window)
    {
        ui_.StatusBar1 = make<QStatusBar>(window, QStringLiteral("StatusBar1"));
        ui_.StatusBar1->setSizeGripEnabled(false);
        ui_.StatusBar1->setContentsMargins(boxMargin, 0, boxMargin, 0);
        ui_.lblStatus = make<QLabel>(ui_.StatusBar1, QStringLiteral("lblStatus"), QStringLiteral("未连接"));
        ui_.lblPort = make<QLabel>(ui_.StatusBar1, QStringLiteral("lblPort"), QString());
        ui_.StatusBar1->addWidget(ui_.lblStatus, 1);
        ui_.StatusBar1->addPermanentWidget(ui_.lblPort);
        return ui_.StatusBar1;
    }

    void arrangeWide()
    {
        ui_.Label1.resize(9);
        auto *top = tight(new QGridLayout);
        auto *leftColumn = tight(new QVBoxLayout);
        leftColumn->addWidget(serialFrame());
        leftColumn->addWidget(versionFrame());
        top->addLayout(leftColumn, 0, 0);
        top->addWidget(sensorFrame(), 0, 1);
        top->addWidget(digitalFrame(), 1, 0);
        top->addWidget(conversionFrame(), 1, 1);
        top->addWidget(alarmFrame(), 0, 2, 2, 1);
        top->setColumnStretch(2, 1);

        QGridLayout *relayGrid = nullptr;
        QGroupBox *relays = relayFrame(relayGrid);
        addGlobalSettingsRow(relays, relayGrid);

        auto *window = tightIn<QVBoxLayout>(window_);
        window->addLayout(top);
        ui_.ProgressBar1 = progressBar();
        window->addWidget(ui_.ProgressBar1);
        window->addWidget(relays, 1);
        addStaticLines(window);
    }

    void arrangeCompact()
    {
        ui_.Label1.resize(5);
        auto *leftColumn = tight(new QVBoxLayout);
        leftColumn->addWidget(serialFrame());
        leftColumn->addWidget(versionFrame());
        leftColumn->addWidget(digitalFrame());
        leftColumn->addWidget(sensorFrame());

        QGridLayout *relayGrid = nullptr;
        QGroupBox *relays = relayFrame(relayGrid);
        addCommandRow(relays, relayGrid);

        makeCommandButtons(window_);
        auto *buttons = commandButtonBox<QVBoxLayout>();
        buttons->addStretch(1);

        auto *grid = tight(new QGridLayout);
        grid->addLayout(leftColumn, 0, 0);
        grid->addWidget(relays, 0, 1, 1, 2);
        grid->addWidget(alarmFrame(), 1, 0, 1, 2);
        grid->addLayout(buttons, 1, 2);
        grid->setColumnStretch(1, 1);

        auto *window = tightIn<QVBoxLayout>(window_);
        window->addLayout(grid, 1);
        addStaticLines(window);
    }

    QWidget *window_; // the client area: everything above the status line
    const Edition &edition_;
    const Arrangement &arrangement_;
    Controls ui_;
};

} // namespace

Controls buildWindow(QWidget *window, const Edition &edition)
{
    return WindowBuilder(window, edition).build();
}

} // namespace alarmcfg
