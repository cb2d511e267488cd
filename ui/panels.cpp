// The panels of "MERRIVAN.UIR": COM port (1), Monitor (2), Statistics (3), Trend (4),
// MQTT (5).
#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/panel_builder.h"
#include "platform/platform.h"
#include "ui/merrivan_uir.h"
#include "ui/trace_colors.h"

using platform::DataType;
using platform::LabelAt;
using platform::PanelBuilder;

namespace {

#define ID(x) x, #x

const char* const kPanelStyle = R"(
QGroupBox { font-weight: bold; border: 1px solid #b8c0c8; border-radius: 6px;
            margin-top: 10px; padding: 6px; background: #f7f9fb; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; color: #2b3a4a; }
QLabel#ctrlLabel { color: #34495e; }
QPushButton { padding: 5px 14px; }
)";

void usePanelFont(QWidget* window)
{
    QFont f = window->font();
    f.setPointSizeF(10);
    window->setFont(f);
}

QFont scaled(QWidget* w, double points, bool bold)
{
    QFont f = w->font();
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// A value display: large reading with its unit beside it. The reading's font
// grows with the display, which takes the room a large window offers.
QWidget* valueDisplay(PanelBuilder& b, int id, const char* name)
{
    // No unit until the first reading names one.
    QWidget* box = b.reading(id, name, "", "----", LabelAt::Right);
    QWidget* figures = b.innerWidget();
    figures->setFont(scaled(figures, 26, true));
    figures->setMinimumSize(170, 56);
    figures->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    b.fontFollowsSize(8, 28);
    if (auto* label = box->findChild<QLabel*>("ctrlLabel")) {
        label->setFont(scaled(label, 18, true));
        label->setMinimumWidth(70);
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    if (auto* lay = qobject_cast<QBoxLayout*>(box->layout())) {
        // The reading takes the width, the unit only what it needs.
        QLayoutItem* last = lay->itemAt(lay->count() - 1);
        if (last && last->spacerItem())
            delete lay->takeAt(lay->count() - 1);
        lay->setStretch(0, 1);
    }
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return box;
}

QGroupBox* displayGroup(PanelBuilder& b, const char* title, int select, const char* selectName,
                        const char* selectCb, int type, const char* typeName, int value,
                        const char* valueName, int sw, const char* swName, const char* swCb,
                        int high, const char* highName, const char* highCb, int low,
                        const char* lowName, const char* lowCb, int hiLed, const char* hiLedName,
                        int loLed, const char* loLedName)
{
    auto* group = new QGroupBox(title, b.window());
    auto* lay = new QGridLayout(group);
    lay->setHorizontalSpacing(10);
    lay->setVerticalSpacing(4);
    lay->setContentsMargins(8, 6, 8, 6);

    QWidget* ringBox = b.ring(select, selectName, "Channel", {}, 0, selectCb, LabelAt::Left);
    b.noState();
    b.innerWidget()->setMinimumWidth(170);
    ringBox->hide();  // the first frame chooses the layout
    QWidget* typeText = b.message(type, typeName, "");
    typeText->hide();
    typeText->setFont(scaled(typeText, 13, true));
    typeText->setStyleSheet("color: #2b3a4a;");
    auto* head = new QHBoxLayout;
    head->addWidget(ringBox);
    head->addWidget(typeText);
    head->addStretch(1);
    // Keeps the row's height while neither the ring nor the sensor name shows.
    auto* strut = new QWidget(group);
    strut->setFixedSize(0, ringBox->sizeHint().height());
    head->addWidget(strut);
    lay->addLayout(head, 0, 0, 1, 2);
    lay->addWidget(valueDisplay(b, value, valueName), 1, 0);

    // The alarm beside the reading: switch, then each limit with its lamp.
    auto* alarm = new QGridLayout;
    alarm->setHorizontalSpacing(6);
    alarm->setVerticalSpacing(4);
    alarm->addWidget(b.binarySwitch(sw, swName, "Alarm", 0, swCb, LabelAt::Left), 0, 0, 1, 2);
    QWidget* hi = b.numeric(high, highName, "High", DataType::Float, -99999.0, 99999.0, 50.0, 2,
                            highCb, false, LabelAt::Left);
    b.innerWidget()->setToolTip("High alarm limit, -99999 to 99999");
    SetCtrlAttribute(b.handle(), high, ATTR_DIMMED, 1);
    QWidget* lo = b.numeric(low, lowName, "Low", DataType::Float, -99999.0, 99999.0, 0.0, 2,
                            lowCb, false, LabelAt::Left);
    b.innerWidget()->setToolTip("Low alarm limit, -99999 to 99999");
    SetCtrlAttribute(b.handle(), low, ATTR_DIMMED, 1);
    alarm->addWidget(hi, 1, 0, Qt::AlignRight);
    alarm->addWidget(b.led(hiLed, hiLedName, "HI", QColor(230, 40, 40)), 1, 1);
    alarm->addWidget(lo, 2, 0, Qt::AlignRight);
    alarm->addWidget(b.led(loLed, loLedName, "LO", QColor(255, 170, 0)), 2, 1);
    alarm->setRowStretch(3, 1);
    lay->addLayout(alarm, 1, 1);
    lay->setColumnStretch(0, 1);
    lay->setRowStretch(1, 1);
    return group;
}

// A numeric entry with its caption above it, as narrow as its range.
QWidget* entry(PanelBuilder& b, int id, const char* name, const char* label, DataType type,
               double min, double max, double init, int precision, const char* callback,
               const char* tip)
{
    QWidget* w = b.numeric(id, name, label, type, min, max, init, precision, callback, false,
                           LabelAt::Top);
    b.innerWidget()->setToolTip(QString::fromUtf8(tip));
    w->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return w;
}

bool buildMonitor(PanelBuilder& b)
{
    QWidget* w = b.window();
    w->setObjectName("Monitor");
    b.title("Merrivan - Meter Monitor");
    b.panelCallback("MonitorPanCallBack");
    w->setStyleSheet(kPanelStyle);
    usePanelFont(w);
    // Readings, chart and settings scroll when the screen is too small for
    // them (a laptop at 200 %); the commands and the status line below stay
    // in view whatever the window's size.
    auto* outer = new QVBoxLayout(w);
    outer->setContentsMargins(0, 0, 0, 6);
    outer->setSpacing(6);
    auto* scroll = new QScrollArea(w);
    scroll->setObjectName("MonitorScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls; focus scrolls them into view
    auto* body = new QWidget;
    auto* root = new QVBoxLayout(body);
    root->setContentsMargins(10, 6, 10, 0);
    root->setSpacing(6);
    scroll->setWidget(body);
    outer->addWidget(scroll, 1);

    // Heading: logo, name, date and time.
    auto* top = new QHBoxLayout;
    QWidget* logo = b.picture(ID(MONITOR_LOGO), 120, 48);
    logo->hide();
    top->addWidget(logo);
    auto* name = new QLabel("Merrivan Meter Monitor", w);
    name->setFont(scaled(name, 16, true));
    name->setStyleSheet("color: #1d3557;");
    top->addWidget(name);
    top->addStretch(1);
    // The PC's date in the meter's own order, month first; the caption says so.
    QWidget* date = b.text(ID(MONITOR_DATE), "Date (MM-DD-YYYY)", "", nullptr, true,
                           LabelAt::Left);
    b.innerWidget()->setToolTip("The PC's date: month-day-year, as the data files write it");
    QWidget* time = b.text(ID(MONITOR_TIME), "Time", "", nullptr, true, LabelAt::Left);
    b.innerWidget()->setToolTip("The PC's time: hour:minute:second");
    for (QWidget* figure : {date, time}) {
        auto* edit = figure->findChild<QLineEdit*>();
        edit->setFont(scaled(figure, 11, true));
        // Room for the widest text and the line edit's own margins.
        const QString widest = figure == date ? "00-00-0000" : "00:00:00";
        edit->setFixedWidth(QFontMetrics(edit->font()).horizontalAdvance(widest) + 12);
    }
    top->addWidget(date);
    top->addSpacing(8);
    top->addWidget(time);
    root->addLayout(top);

    // The two displays.
    auto* displays = new QHBoxLayout;
    displays->addWidget(displayGroup(
        b, "Display 1", ID(MONITOR_CH1_SELECT), "sDisp1Callback", ID(MONITOR_CH1_TYPE),
        ID(MONITOR_CH1_VALUE), ID(MONITOR_CH1_ALARM_SW), "ch1AlarmSwCallBack",
        ID(MONITOR_CH1_HIGH), "ch1HiLimitCallBack", ID(MONITOR_CH1_LOW), "ch1LowLimitCallBack",
        ID(MONITOR_CH1_HIGH_ALARM), ID(MONITOR_CH1_LOW_ALARM)));
    displays->addWidget(displayGroup(
        b, "Display 2", ID(MONITOR_CH2_SELECT), "sDisp2Callback", ID(MONITOR_CH2_TYPE),
        ID(MONITOR_CH2_VALUE), ID(MONITOR_CH2_ALARM_SW), "ch2AlarmSwCallBack",
        ID(MONITOR_CH2_HIGH), "ch2HiLimitCallBack", ID(MONITOR_CH2_LOW), "ch2LowLimitCallBack",
        ID(MONITOR_CH2_HIGH_ALARM), ID(MONITOR_CH2_LOW_ALARM)));
    root->addLayout(displays, 1);

    // Strip chart with its legend.
    auto* chartGroup = new QGroupBox("Recording chart", w);
    auto* chartLay = new QHBoxLayout(chartGroup);
    chartLay->setContentsMargins(6, 4, 6, 4);
    std::vector<QColor> colors;
    for (int i = 0; i < 10; ++i)
        colors.emplace_back(QRgb(kTraceColors[i]));
    QWidget* chart = b.stripChart(ID(MONITOR_CHART), "", 10, 100, colors, 0.0, 100.0,
                                  "currChartCallBack");
    b.innerWidget()->setMinimumSize(400, 170);
    if (auto* label = chart->findChild<QLabel*>("ctrlLabel"))
        label->setFont(scaled(label, 11, true));
    chartLay->addWidget(chart, 1);
    auto* legend = new QVBoxLayout;
    legend->setSpacing(0);
    static const char* const legendNames[10] = {
        "MONITOR_LEGEND_1", "MONITOR_LEGEND_2", "MONITOR_LEGEND_3", "MONITOR_LEGEND_4",
        "MONITOR_LEGEND_5", "MONITOR_LEGEND_6", "MONITOR_LEGEND_7", "MONITOR_LEGEND_8",
        "MONITOR_LEGEND_9", "MONITOR_LEGEND_10"};
    for (int i = 0; i < 10; ++i) {
        QWidget* l = b.message(MONITOR_LEGEND_1 + i, legendNames[i], "");
        l->setFont(scaled(l, 9.5, true));
        l->setStyleSheet(QString("color: #%1;").arg(kTraceColors[i] & 0xFFFFFFu, 6, 16, QChar('0')));
        l->setMinimumWidth(130);
        l->hide();
        legend->addWidget(l);
    }
    legend->addStretch(1);
    chartLay->addLayout(legend);
    root->addWidget(chartGroup, 4);

    // Recording and chart settings: captions above the entries keep the row
    // narrow enough for a small screen.
    auto* settings = new QHBoxLayout;
    auto* recGroup = new QGroupBox("Recording", w);
    auto* recLay = new QHBoxLayout(recGroup);
    recLay->setContentsMargins(8, 4, 8, 4);
    QWidget* extra = b.message(ID(MONITOR_LOG_EXTRA), "Set-up:");
    recLay->addWidget(extra, 0, Qt::AlignBottom);
    recLay->addWidget(entry(b, ID(MONITOR_SAMPLE_COUNT), "Samples", DataType::Int, 0, 16000, 1000,
                            0, "sampleDataCallBack", "Samples to record, 0 to 16000"));
    recLay->addWidget(entry(b, ID(MONITOR_SAMPLE_RATE), "Every (s)", DataType::Int, 1, 3600, 1, 0,
                            "sampleRateCallBack", "Seconds between samples, 1 to 3600"));
    recLay->addSpacing(8);
    recLay->addWidget(b.binarySwitch(ID(MONITOR_LOG_SWITCH), "Record", 0, "logCmdCallback",
                                     LabelAt::Top));
    QWidget* rec = b.message(ID(MONITOR_REC_INDICATOR), "Recording");
    rec->setFont(scaled(rec, 12, true));
    rec->setMinimumWidth(rec->fontMetrics().horizontalAdvance("Recording") + 8);
    SetCtrlAttribute(b.handle(), MONITOR_REC_INDICATOR, ATTR_TEXT_COLOR, 0xFFFFFF);
    // Shown only while a recording runs (it blinks then); the place stays.
    auto policy = rec->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    rec->setSizePolicy(policy);
    rec->hide();
    recLay->addWidget(rec, 0, Qt::AlignBottom);
    recLay->addStretch(1);
    settings->addWidget(recGroup, 1);

    auto* scaleGroup = new QGroupBox("Chart scale", w);
    auto* scaleLay = new QHBoxLayout(scaleGroup);
    scaleLay->setContentsMargins(8, 4, 8, 4);
    scaleLay->addWidget(entry(b, ID(MONITOR_GAIN), "Units/div", DataType::Float, 0.001, 100000.0,
                              10.0, 3, "sGainCallBack", "Units per division, 0.001 to 100000"));
    scaleLay->addWidget(entry(b, ID(MONITOR_OFFSET), "Offset (div)", DataType::Float, -10000.0,
                              10000.0, 0.0, 2, "sOffsetCallBack",
                              "Divisions below the bottom line, -10000 to 10000"));
    scaleLay->addWidget(entry(b, ID(MONITOR_RANGE), "Points", DataType::Int, 10, 16000, 100, 0,
                              "sRangeCallBack", "Points across the chart, 10 to 16000"));
    scaleLay->addStretch(1);
    settings->addWidget(scaleGroup, 1);
    root->addLayout(settings);

    // Commands.
    auto* commands = new QHBoxLayout;
    commands->setContentsMargins(10, 0, 10, 0);
    commands->addWidget(b.command(ID(MONITOR_COMPORT_CMD), "Serial Port...", "comPortCallBack"));
    commands->addWidget(b.command(ID(MONITOR_STATISTICS_CMD), "Statistics...", "statisticsCallBack"));
    commands->addWidget(b.command(ID(MONITOR_TREND_CMD), "Trend...", "trendCallBack"));
    commands->addWidget(b.command(ID(MONITOR_SAVE), "Save File...", "saveFileCallBack"));
    commands->addWidget(b.command(ID(MONITOR_RETRIEVE), "Retrieve File...", "retrieveFileCallBack"));
    commands->addWidget(b.command(ID(MONITOR_PRINT), "Print...", "printGraphCallBack"));
    commands->addStretch(1);
    commands->addWidget(b.command(ID(MONITOR_HELP), "Help", "helpCallBack"));
    commands->addWidget(b.command(ID(MONITOR_EXIT), "Exit", "exitCallBack"));
    outer->addLayout(commands);
    b.shortcut(MONITOR_SAVE, "Ctrl+S");
    b.shortcut(MONITOR_RETRIEVE, "Ctrl+O");
    b.shortcut(MONITOR_PRINT, "Ctrl+P");
    b.shortcut(MONITOR_TREND_CMD, "Ctrl+T");
    b.shortcut(MONITOR_HELP, "F1");
    b.shortcut(MONITOR_EXIT, "Ctrl+Q");

    // The status line, and beside it what the link is doing: a lamp that
    // flashes on each frame taken and the session's frame counts.
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(10, 0, 10, 0);
    QWidget* status = b.text(ID(MONITOR_SETTINGS), "", "", nullptr, true, LabelAt::None);
    status->setStyleSheet("background: #eef2f5; border: 1px solid #c5ced6; padding: 3px;");
    status->setFont(scaled(status, 10.5, false));
    statusRow->addWidget(status, 1);
    // The history's own trouble (off, paused), beside the other news; hidden
    // while the history is kept.
    QWidget* history = b.message(ID(MONITOR_HISTORY), "");
    history->setStyleSheet("color: #b00020;");
    history->setToolTip("The history of readings (Trend) is not being kept");
    history->setVisible(false);
    statusRow->addWidget(history);
    QWidget* rxLed = b.led(ID(MONITOR_RX_LED), "RX", QColor(40, 170, 60));
    rxLed->setToolTip("Flashes on each frame read from the meter");
    statusRow->addWidget(rxLed);
    QWidget* rxCount = b.message(ID(MONITOR_RX_COUNT), "Frames: 0 read, 0 refused");
    rxCount->setToolTip("Frames read from the meter this session, and frames refused "
                        "(bad check sum, too short, not in the meter's format)");
    statusRow->addWidget(rxCount);
    outer->addLayout(statusRow);

    b.timer(ID(MONITOR_CLOCK_TIMER), 1.0, true, "timeTickCallBack");
    b.timer(ID(MONITOR_SAMPLE_TIMER), 1.0, false, "timeSampleCallBack");
    b.timer(ID(MONITOR_NODATA_TIMER), 10.0, true, "TimeNoDataCallback");
    b.timer(ID(MONITOR_RX_TIMER), 0.15, false, "rxLampCallBack");
    // Tab goes as the eye reads the panel: each display, the settings, the commands.
    b.tabOrder({MONITOR_CH1_SELECT, MONITOR_CH1_ALARM_SW, MONITOR_CH1_HIGH, MONITOR_CH1_LOW,
                MONITOR_CH2_SELECT, MONITOR_CH2_ALARM_SW, MONITOR_CH2_HIGH, MONITOR_CH2_LOW,
                MONITOR_SAMPLE_COUNT, MONITOR_SAMPLE_RATE, MONITOR_LOG_SWITCH, MONITOR_GAIN,
                MONITOR_OFFSET, MONITOR_RANGE, MONITOR_COMPORT_CMD, MONITOR_STATISTICS_CMD,
                MONITOR_TREND_CMD, MONITOR_SAVE, MONITOR_RETRIEVE, MONITOR_PRINT, MONITOR_HELP, MONITOR_EXIT});
    w->resize(1180, 800);
    return true;
}

// The port choices name the device each COM number leads to on this PC (its
// stable /dev/serial/by-id name first when it has one), the adapter's maker
// and model where the system knows them, and whether the device is there now.
// The values stay the COM numbers.
std::string portLabel(int port, const QList<QSerialPortInfo>& known)
{
    QString label = QString("COM%1").arg(port);
    char path[256] = "";
    if (comDevicePath(port, path, sizeof path) < 0 || !*path)
        return (label + "  (no device)").toStdString();
    const QString device = QString::fromLocal8Bit(path);
    char stable[512] = "";
    comStableName(port, stable, sizeof stable);
    const QString stableName = QString::fromLocal8Bit(stable);
    if (!stableName.isEmpty() && stableName != device)
        label += "  " + stableName + " (" + device + ")";
    else
        label += "  " + device;
    const QFileInfo info(device);
    const QString real = info.exists() ? info.canonicalFilePath() : device;
    for (const QSerialPortInfo& p : known) {
        if (p.systemLocation() != device && p.systemLocation() != real)
            continue;
        QStringList parts;
        if (!p.manufacturer().isEmpty())
            parts << p.manufacturer();
        if (!p.description().isEmpty() && p.description() != p.manufacturer())
            parts << p.description();
        if (!parts.isEmpty())
            label += QString::fromUtf8(" \u2014 ") + parts.join(' ');
        break;
    }
    label += comDevicePresent(port) == 1 ? " (present)" : " (absent)";
    return label.toStdString();
}

// The devices there now come first, then the mappings whose device is absent,
// then the numbers that lead nowhere: the user looks for the meter at the top.
int portRank(int port)
{
    if (comDevicePresent(port) == 1)
        return 0;
    char path[256] = "";
    return comDevicePath(port, path, sizeof path) < 0 || !*path ? 2 : 1;
}

bool buildComPort(PanelBuilder& b)
{
    QWidget* w = b.window();
    w->setObjectName("SerialPort");
    b.title("Serial Port Settings");
    b.panelCallback("CommPortCallBack");
    w->setStyleSheet(kPanelStyle);
    usePanelFont(w);
    auto* root = new QVBoxLayout(w);
    auto* group = new QGroupBox("Port settings", w);
    auto* grid = new QGridLayout(group);

    std::vector<int> order;
    for (int i = 1; i <= 16; ++i)
        order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [](int x, int y) { return portRank(x) < portRank(y); });
    std::vector<std::string> names;
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    for (int port : order)
        names.push_back(portLabel(port, known));
    std::vector<platform::Item> ports;
    for (std::size_t i = 0; i < order.size(); ++i)
        ports.push_back({names[i].c_str(), order[i]});
    grid->addWidget(b.ring(ID(COMPORT_PORTNO), "Port", ports, 1, "portNoCallBack"), 0, 0, 1, 2);
    if (auto* box = qobject_cast<QComboBox*>(b.innerWidget())) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->setToolTip("COM number, the device it leads to on this PC, and (present) when "
                        "that device is there now");
    }
    grid->addWidget(b.ring(ID(COMPORT_BAUDRATE), "Baud rate",
                           {{"1200", 1200}, {"2400", 2400}, {"4800", 4800}, {"9600", 9600},
                            {"19200", 19200}, {"38400", 38400}, {"57600", 57600},
                            {"115200", 115200}},
                           9600, "baudRateCallBack"),
                    1, 0);
    grid->addWidget(b.ring(ID(COMPORT_PARITY), "Parity", {{"None", 0}, {"Odd", 1}, {"Even", 2}}, 0,
                           "parityCallBack"),
                    1, 1);
    grid->addWidget(b.ring(ID(COMPORT_DATABITS), "Data bits", {{"7", 7}, {"8", 8}}, 8,
                           "dataBitsCallBack"),
                    2, 0);
    grid->addWidget(b.ring(ID(COMPORT_STOPBITS), "Stop bits", {{"1", 1}, {"2", 2}}, 1,
                           "stopBitsCallBack"),
                    2, 1);
    root->addWidget(group);
    auto* hint = new QLabel("9600 baud selects the 10-channel meter; any other rate the legacy meter.", w);
    hint->setWordWrap(true);
    hint->setStyleSheet("color: #5a6b7b;");
    root->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(b.command(ID(COMPORT_AUTO), "Auto Detect", "comPortAutoCmdCallBack"));
    buttons->addWidget(b.command(ID(COMPORT_FIND), "Find Meter", "comPortFindCmdCallBack"));
    buttons->addWidget(b.command(ID(COMPORT_MQTT), "MQTT...", "mqttCallBack"));
    b.innerWidget()->setToolTip("Publish the readings to an MQTT broker");
    buttons->addStretch(1);
    buttons->addWidget(b.command(ID(COMPORT_OK), "OK", "comPortOkCmdCallBack"));
    buttons->addWidget(b.command(ID(COMPORT_CANCEL), "Cancel", "comPortCancelCmdCallBack"));
    root->addLayout(buttons);
    b.enterPresses(COMPORT_OK);
    b.shortcut(COMPORT_CANCEL, "Esc");
    b.tabOrder({COMPORT_PORTNO, COMPORT_BAUDRATE, COMPORT_PARITY, COMPORT_DATABITS,
                COMPORT_STOPBITS, COMPORT_AUTO, COMPORT_FIND, COMPORT_MQTT, COMPORT_OK,
                COMPORT_CANCEL});
    w->resize(w->sizeHint().expandedTo(QSize(380, 260)));
    return true;
}

bool buildStatistics(PanelBuilder& b)
{
    QWidget* w = b.window();
    w->setObjectName("Statistics");
    b.title("Merrivan - Statistics");
    b.panelCallback("StatisticCallBack");
    w->setStyleSheet(kPanelStyle);
    usePanelFont(w);
    auto* root = new QVBoxLayout(w);

    auto* head = new QHBoxLayout;
    QWidget* channelList = b.ring(ID(STATISTIC_CHANNEL), "Recorded channel", {}, 0,
                                  "sStaticCallback", LabelAt::Left);
    b.noState();
    b.innerWidget()->setMinimumWidth(200);
    channelList->hide();
    head->addWidget(channelList);
    QWidget* typeA = b.message(ID(STATISTIC_TYPE_A), "");
    typeA->setFont(scaled(typeA, 12, true));
    head->addWidget(typeA);
    head->addStretch(1);
    head->addWidget(b.led(ID(STATISTIC_BUSY), "Busy", QColor(40, 170, 60)));
    root->addLayout(head);

    auto* figures = new QGroupBox("Figures", w);
    auto* fl = new QHBoxLayout(figures);
    const double big = 1e12;
    auto dimFigure = [&b](int id) { SetCtrlAttribute(b.handle(), id, ATTR_DIMMED, 1); };
    fl->addWidget(b.numeric(ID(STATISTIC_MAX), "Maximum", DataType::Double, -big, big, 0.0, 3,
                            nullptr, true));
    fl->addWidget(b.numeric(ID(STATISTIC_MIN), "Minimum", DataType::Double, -big, big, 0.0, 3,
                            nullptr, true));
    fl->addWidget(b.numeric(ID(STATISTIC_MEAN), "Mean", DataType::Double, -big, big, 0.0, 3,
                            nullptr, true));
    fl->addWidget(b.numeric(ID(STATISTIC_SDEV), "Std. deviation", DataType::Double, -big, big, 0.0,
                            3, nullptr, true));
    for (int id : {STATISTIC_MAX, STATISTIC_MIN, STATISTIC_MEAN, STATISTIC_SDEV})
        dimFigure(id);  // nothing recorded yet
    root->addWidget(figures);
    // How many samples the figures and the histogram leave out; empty for none.
    root->addWidget(b.message(ID(STATISTIC_EXCLUDED), ""));

    auto* histGroup = new QGroupBox("Histogram", w);
    auto* hl = new QVBoxLayout(histGroup);
    auto* hsettings = new QHBoxLayout;
    hsettings->addWidget(b.numeric(ID(STATISTIC_BINS), "Bins", DataType::Int, 1, 21, 10, 0,
                                   "ch1StaticRangeCallBack", false, LabelAt::Left));
    b.innerWidget()->setToolTip("Bars of the histogram, 1 to 21");
    hsettings->addStretch(1);
    QWidget* cursorY = b.numeric(ID(STATISTIC_CURSOR_Y), "Cursor count", DataType::Double, -big,
                                 big, 0.0, 2, nullptr, true, LabelAt::Left);
    cursorY->hide();
    hsettings->addWidget(cursorY);
    hl->addLayout(hsettings);
    hl->addWidget(b.graph(ID(STATISTIC_HISTOGRAM), "", "Value", "Count", "staticCh1Callback"), 1);
    b.innerWidget()->setMinimumHeight(180);  // the window fits a laptop at 200 %
    b.wholeNumberTicks();
    // With nothing to analyse there is no count to read off.
    b.blankWhileEmpty(STATISTIC_CURSOR_Y, STATISTIC_HISTOGRAM);
    QWidget* typeB = b.message(ID(STATISTIC_TYPE_B), "");
    static_cast<QLabel*>(typeB)->setAlignment(Qt::AlignCenter);
    hl->addWidget(typeB);
    root->addWidget(histGroup, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(b.command(ID(STATISTIC_PRINT), "Print...", "printCallBack"));
    buttons->addWidget(b.command(ID(STATISTIC_EXIT), "Close", "staticExitCmdCallBack"));
    root->addLayout(buttons);
    b.shortcut(STATISTIC_EXIT, "Esc");
    b.tabOrder({STATISTIC_CHANNEL, STATISTIC_BINS, STATISTIC_PRINT, STATISTIC_EXIT});
    w->resize(720, 560);
    return true;
}

// The history over clock time: the plot with its channel list, what the
// history holds and keeps, and the commands.
bool buildTrend(PanelBuilder& b)
{
    QWidget* w = b.window();
    w->setObjectName("Trend");
    b.title("Merrivan - Trend");
    b.panelCallback("TrendPanelCallBack");
    w->setStyleSheet(kPanelStyle);
    usePanelFont(w);
    auto* root = new QVBoxLayout(w);
    root->setContentsMargins(8, 6, 8, 6);
    root->addWidget(b.trendPlot(ID(TREND_PLOT), "trendPlotCallBack"), 1);

    auto* view = new QHBoxLayout;
    view->addWidget(b.ring(ID(TREND_AXES), "Y axes",
                           {{"Shared by unit", 1}, {"One per channel", 0}}, 1,
                           "trendAxesCallBack", LabelAt::Left));
    b.innerWidget()->setToolTip("Channels of one unit on one axis, or each on its own");
    view->addWidget(b.command(ID(TREND_WHOLE), "Whole History", "trendWholeCallBack"));
    view->addStretch(1);
    view->addWidget(b.command(ID(TREND_EXPORT), "Export CSV...", "trendExportCallBack"));
    view->addWidget(b.command(ID(TREND_IMAGE), "Save Image...", "trendImageCallBack"));
    root->addLayout(view);

    auto* keep = new QGroupBox("History", w);
    auto* kl = new QGridLayout(keep);
    kl->setContentsMargins(8, 4, 8, 4);
    kl->addWidget(b.binarySwitch(ID(TREND_KEEP), "Keep history", 1, "trendKeepCallBack",
                                 LabelAt::Left), 0, 0);
    kl->addWidget(b.ring(ID(TREND_RETENTION), "Keep",
                         {{"everything", 0}, {"days", 1}, {"megabytes", 2}}, 2,
                         "trendRetentionCallBack", LabelAt::Left), 0, 1);
    b.innerWidget()->setToolTip("How much of the history the file keeps; older readings go");
    QWidget* amount = b.numeric(ID(TREND_AMOUNT), "", DataType::Int, 1, 1000000, 1024, 0,
                                "trendRetentionCallBack", false, LabelAt::None);
    b.innerWidget()->setToolTip("Days or megabytes kept");
    amount->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    kl->addWidget(amount, 0, 2);
    QWidget* holds = b.message(ID(TREND_HOLDS), "");
    static_cast<QLabel*>(holds)->setWordWrap(true);
    kl->addWidget(holds, 0, 3);
    kl->setColumnStretch(3, 1);
    QWidget* path = b.text(ID(TREND_PATH), "File", "", nullptr, true, LabelAt::Left);
    kl->addWidget(path, 1, 0, 1, 4);
    root->addWidget(keep);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(b.command(ID(TREND_CLOSE), "Close", "trendCloseCallBack"));
    root->addLayout(buttons);
    b.shortcut(TREND_CLOSE, "Esc");
    b.timer(ID(TREND_TIMER), 1.0, false, "trendTickCallBack");
    b.tabOrder({TREND_AXES, TREND_WHOLE, TREND_EXPORT, TREND_IMAGE, TREND_KEEP,
                TREND_RETENTION, TREND_AMOUNT, TREND_CLOSE});
    w->resize(960, 640);
    return true;
}

// The broker the readings are published to. Its values come from the [Mqtt]
// section, not from a panel state.
bool buildMqtt(PanelBuilder& b)
{
    QWidget* w = b.window();
    w->setObjectName("Mqtt");
    b.title("MQTT");
    b.panelCallback("MqttPanCallBack");
    w->setStyleSheet(kPanelStyle);
    usePanelFont(w);
    auto* root = new QVBoxLayout(w);
    root->addWidget(b.binarySwitch(ID(MQTT_ENABLED), "Publish the readings", 0, nullptr,
                                   LabelAt::Right));
    auto* group = new QGroupBox("Broker", w);
    auto* grid = new QGridLayout(group);
    grid->addWidget(b.text(ID(MQTT_HOST), "Host", "localhost", nullptr, false), 0, 0);
    grid->addWidget(b.numeric(ID(MQTT_PORT), "Port", DataType::Int, 1, 65535, 1883, 0, nullptr),
                    0, 1);
    grid->addWidget(b.text(ID(MQTT_METER_ID), "Meter id (topic merrivan/<id>/...)", "", nullptr,
                           false),
                    1, 0, 1, 2);
    grid->addWidget(b.binarySwitch(ID(MQTT_TLS), "TLS", 0, nullptr, LabelAt::Right), 2, 0);
    grid->addWidget(b.text(ID(MQTT_CA_FILE), "CA file (empty: the system's)", "", nullptr, false),
                    3, 0, 1, 2);
    grid->addWidget(b.text(ID(MQTT_USER), "User", "", nullptr, false), 4, 0);
    grid->addWidget(b.text(ID(MQTT_PASSWORD), "Password", "", nullptr, false), 4, 1);
    if (auto* edit = qobject_cast<QLineEdit*>(b.innerWidget()))
        edit->setEchoMode(QLineEdit::Password);
    grid->addWidget(b.binarySwitch(ID(MQTT_HOME_ASSISTANT), "Home Assistant discovery", 0,
                                   nullptr, LabelAt::Right),
                    5, 0, 1, 2);
    root->addWidget(group);
    QWidget* state = b.message(ID(MQTT_STATE), "");
    static_cast<QLabel*>(state)->setWordWrap(true);
    root->addWidget(state);
    b.timer(ID(MQTT_TIMER), 1.0, true, "mqttStateTimerCallBack");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(b.command(ID(MQTT_OK), "OK", "mqttOkCallBack"));
    buttons->addWidget(b.command(ID(MQTT_CANCEL), "Cancel", "mqttCancelCallBack"));
    root->addLayout(buttons);
    b.enterPresses(MQTT_OK);
    b.shortcut(MQTT_CANCEL, "Esc");
    b.tabOrder({MQTT_ENABLED, MQTT_HOST, MQTT_PORT, MQTT_METER_ID, MQTT_TLS, MQTT_CA_FILE,
                MQTT_USER, MQTT_PASSWORD, MQTT_HOME_ASSISTANT, MQTT_OK, MQTT_CANCEL});
    w->resize(w->sizeHint().expandedTo(QSize(420, 300)));
    return true;
}

bool buildPanel(PanelBuilder& b, int resource)
{
    switch (resource) {
    case COMPORT:
        return buildComPort(b);
    case MONITOR:
        return buildMonitor(b);
    case STATISTIC:
        return buildStatistics(b);
    case TREND:
        return buildTrend(b);
    case MQTT:
        return buildMqtt(b);
    default:
        return false;
    }
}

}  // namespace

void uiInstallPanels()
{
    platform::registerPanelFile("MERRIVAN.UIR", buildPanel);
}
