#include "app/MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include "app/MessageBoxSeam.h"
#include "app/StartupSettings.h"
#include "emulator/NmeaSentences.h"
#include "emulator/NumberText.h"
#include "serial/SerialLink.h"
#include "ui_MainWindow.h"

namespace {
constexpr int TerminalFontPixels = 11;
constexpr int DesignedTerminalHeight = 465;

char localePoint() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? '.' : point.at(0).toLatin1();
}

QString picture(float value, int decimals) {
    return QString::fromStdString(FormatPicture(value, decimals, localePoint()));
}

QString picture(double value, int decimals) {
    return QString::fromStdString(FormatPicture(value, decimals, localePoint()));
}

QButtonGroup* groupOf(QObject* owner, std::initializer_list<QAbstractButton*> buttons) {
    auto* group = new QButtonGroup(owner);
    int id = 0;
    for (QAbstractButton* b : buttons)
        group->addButton(b, id++);
    return group;
}
} // namespace

TMainWin::TMainWin(AppServices& s, QWidget* parent)
    : QMainWindow(parent), services(s), state(s.state), form(std::make_unique<Ui::TMainWin>()),
      output(s.state, s.link, terminal), tick(s.state, *this, output) {
    form->setupUi(this);
    Ui::TMainWin& ui = *form;

    // Radio groups: the button ids are the item indices.
    groupOf(ui.GroupXTE, {ui.XTE_Left, ui.XTE_Cntr, ui.XTE_Right, ui.XTE_Value})
        ->setObjectName("GroupXTEButtons");
    groupOf(ui.GroupFormat, {ui.Format_NmeaV2, ui.Format_NmeaV3, ui.Format_Aviation})
        ->setObjectName("GroupFormatButtons");
    groupOf(ui.RadioGroupFileType, {ui.FileType_Nmea, ui.FileType_Aviation})
        ->setObjectName("RadioGroupFileTypeButtons");

    ui.UpDown1->setRange(-32000, 32000);
    for (StepButtons* b : {ui.UpDown2, ui.UpDown3, ui.UpDown4})
        b->setRange(-10000, 10000);
    ui.UpDown4->setEnabled(false);
    ui.UpDown_lps->setRange(1, 100);
    ui.UpDown_lps->setPosition(25);
    ui.UpDown_sec->setRange(1, 100);
    ui.UpDown_sec->setPosition(1);
    ui.EDIT_trigger->setValidator(nullptr);
    connect(ui.EDIT_trigger, &QLineEdit::textEdited, this, [edit = ui.EDIT_trigger](const QString& t) {
        const int cursor = edit->cursorPosition();
        edit->setText(t.toUpper());
        edit->setCursorPosition(cursor);
    });
    ui.StatusBar1->setFixedHeight(19);
    ui.StatusBar1->setSizeGripEnabled(true);

    // Terminal: the line height comes from the font, the line limit from the designed height.
    QFont font = ui.TerminalWin->font();
    font.setPixelSize(TerminalFontPixels);
    ui.TerminalWin->setFont(font);
    ui.TerminalWin->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui.TerminalWin->installEventFilter(this);
    terminalView = std::make_unique<TerminalWidget>(ui.TerminalWin);
    terminal.view = terminalView.get();
    terminal.LineHeight = static_cast<std::uint16_t>(TerminalFontPixels + 1);
    terminal.VisibleLines = static_cast<std::uint16_t>(DesignedTerminalHeight / terminal.LineHeight);
    terminalView->clearLines();

    connect(ui.MNU_Pause, &QAction::triggered, this, &TMainWin::MNU_PauseClick);
    connect(ui.BTN_Pause, &QCheckBox::clicked, this, &TMainWin::MNU_PauseClick);
    connect(ui.MNU_ClearScreen, &QAction::triggered, this, &TMainWin::MNU_ClearScreenClick);
    connect(ui.MNU_Calibrate, &QAction::triggered, this, &TMainWin::MNU_CalibrateClick);
    connect(ui.Exit1, &QAction::triggered, this, &TMainWin::Exit1Click);
    connect(ui.SerialPort1, &QAction::triggered, this, &TMainWin::SerialPort1Click);
    connect(ui.R1, &QAction::triggered, this, &TMainWin::R1Click);
    connect(ui.About1, &QAction::triggered, this, &TMainWin::About1Click);

    ReadStartupSettings(state, services.settings, services.messages);
    openStartupPort();

    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &TMainWin::Timer1Timer);
    Timer1.start();
    FlowTimer.setTimerType(Qt::PreciseTimer);
    FlowTimer.setInterval(1000);
}

TMainWin::~TMainWin() = default;

void TMainWin::openStartupPort() {
    const char* name = SerialLink::PortNames[state.portIndex % SerialLink::PortNames.size()];
    state.portHandle = services.link.OpenPort(name);
    if (state.portHandle == InvalidPort)
        services.messages.show(std::string("Can't open ") + name, "", MsgIcon::Warning);
    else
        services.link.SetBaud(SerialLink::AutoBaudIndex(state.format));
}

int TMainWin::pauseSecondsPosition() const { return form->UpDown_sec->position(); }

void TMainWin::setTickPeriod(int milliseconds) { Timer1.setInterval(milliseconds); }

int TMainWin::currentPage() const { return form->TAB_main->currentIndex(); }

void TMainWin::Timer1Timer() { tick.Timer1Timer(); }

void TMainWin::FormActivate() {
    Ui::TMainWin& ui = *form;
    const auto select = [](QGroupBox* group, int index) {
        if (auto* buttons = group->findChild<QButtonGroup*>())
            if (QAbstractButton* b = buttons->button(index))
                b->setChecked(true);
    };
    select(ui.GroupFormat, static_cast<int>(state.format));
    select(ui.GroupXTE, static_cast<int>(state.xteMode));
    ui.EB_Value->setEnabled(state.xteMode == XteMode::Value);
    ui.EB_Value->setText(picture(state.xteValue, 1));
    ui.EB_Track->setText(picture(TrackDegrees(state), 1));
    ui.EB_Flow->setText(picture(state.fuelFlow, 1));
    ui.EB_Flow->setEnabled(ui.BTN_FlowEna->isChecked());
    ui.EB_Speed->setEnabled(ui.BTN_Heading->isChecked());
    ui.EB_Track->setEnabled(ui.BTN_Heading->isChecked());
    state.courseOn = ui.BTN_Course->isChecked();
    state.headingOn = ui.BTN_Heading->isChecked();
    ui.UpDown_lps->setPosition(static_cast<std::int16_t>(state.recordsPerTick));
    ui.EDIT_chunks->setText(QString::number(state.recordsPerTick));
    ui.UpDown_sec->setPosition(1);
    ui.EDIT_SecPause->setText("1");
}

void TMainWin::FormResize() {
    const int height = form->TerminalWin->height();
    terminal.VisibleLines = static_cast<std::uint16_t>(height / terminal.LineHeight);
}

void TMainWin::MNU_PauseClick() {
    if (pauseGuard)
        return;
    pauseGuard = true;
    state.paused = !state.paused;
    form->MNU_Pause->setChecked(state.paused);
    form->BTN_Pause->setChecked(state.paused);
    pauseGuard = false;
}

void TMainWin::MNU_ClearScreenClick() { terminalView->clearLines(); }

void TMainWin::setDialogs(QWidget* calibrate, QWidget* serialPort) {
    calibrateDialog = calibrate;
    serialPortDialog = serialPort;
}

void TMainWin::MNU_CalibrateClick() {
    // Modeless: a dialog already showing only comes to the front.
    if (!calibrateDialog)
        return;
    calibrateDialog->show();
    calibrateDialog->raise();
    calibrateDialog->activateWindow();
}

void TMainWin::SerialPort1Click() {
    if (!serialPortDialog)
        return;
    serialPortDialog->show();
    serialPortDialog->raise();
    serialPortDialog->activateWindow();
}

void TMainWin::Exit1Click() { close(); }

void TMainWin::R1Click() {
    // The manual is installed beside the program; a build tree uses the sources' copy.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        QDir(appDir).filePath("../share/doc/tarrow/Tarrow7.html"),
        QDir(appDir).filePath("docs/Tarrow7.html"),
        QStringLiteral(TARROW_DOCS_SOURCE_DIR "/Tarrow7.html"),
    };
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath()));
            return;
        }
    }
    std::string text = "The manual Tarrow7.html was not found. Looked in:";
    for (const QString& path : candidates)
        text += "\r\n" + QDir::cleanPath(path).toStdString();
    services.messages.show(text, "Instructions", MsgIcon::Warning);
}

void TMainWin::About1Click() {
    services.messages.show("Tarrow Version 7.1.1\r\n"
                           "GPS receiver emulator for the bench\r\n"
                           "Brackwater Associates",
                           "About", MsgIcon::Information);
}

void TMainWin::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TMainWin::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
    // The terminal gets its final height from the layout after the window's own resize.
    if (watched == form->TerminalWin && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TMainWin::closeEvent(QCloseEvent* event) {
    services.link.ClosePort(state.portHandle);
    event->accept();
    QCoreApplication::quit();
}
