#include "app/MainWindow.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabBar>
#include <QTextBrowser>
#include <QTextEdit>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

#include "app/OutputOptionsDialog.h"
#include "app/WidgetHelpers.h"
#include "engine/Emulator.h"
#include "engine/MessageBoxSeam.h"
#include "formats/AviationRecord.h"
#include "formats/NmeaSentences.h"
#include "ui_MainWindow.h"

namespace {
constexpr int TerminalFontPixels = 11;
constexpr int DesignedTerminalHeight = 465;

// 19 pixels as drawn; more when the font is taller.
int StatusBarHeight(const QFontMetrics& metrics) { return std::max(19, metrics.height() + 5); }
} // namespace

TMainWin::TMainWin(Emulator& e, QWidget* parent)
    : QMainWindow(parent), emulator(e), form(std::make_unique<Ui::TMainWin>()),
      fileWindow(*form, [this](const std::string& filter, int index) {
          return RunQtOpenDialog(filter, index, openFolder);
      }) {
    form->setupUi(this);
    Ui::TMainWin& ui = *form;

    // Radio groups: the button ids are the item indices.
    MakeButtonGroup(ui.GroupXTE, "GroupXTEButtons",
                    {ui.XTE_Left, ui.XTE_Cntr, ui.XTE_Right, ui.XTE_Value});
    MakeButtonGroup(ui.GroupFormat, "GroupFormatButtons",
                    {ui.Format_NmeaV2, ui.Format_NmeaV3, ui.Format_Aviation});
    MakeButtonGroup(ui.RadioGroupFileType, "RadioGroupFileTypeButtons",
                    {ui.FileType_Nmea, ui.FileType_Aviation});
    simulatorWindow = std::make_unique<QtSimulatorWindow>(*this);
    simulatorLogic = std::make_unique<SimulatorPage>(emulator, *simulatorWindow);
    fileLogic = std::make_unique<FilePage>(emulator, fileWindow, *simulatorLogic);

    ui.UpDown1->setRange(-32000, 32000);
    for (StepButtons* b : {ui.UpDown2, ui.UpDown3, ui.UpDown4})
        b->setRange(-10000, 10000);
    ui.UpDown4->setEnabled(false);
    ui.UpDown_lps->setRange(1, 100);
    ui.UpDown_lps->setPosition(25);
    ui.UpDown_sec->setRange(1, 100);
    ui.UpDown_sec->setPosition(1);
    connect(ui.EDIT_trigger, &QLineEdit::textEdited, this,
            [edit = ui.EDIT_trigger](const QString& t) {
                const int cursor = edit->cursorPosition();
                edit->setText(t.toUpper());
                edit->setCursorPosition(cursor);
            });
    connect(ui.EDIT_trigger, &QLineEdit::textChanged, this,
            [this] { fileLogic->EDIT_triggerChange(); });
    fitRightColumn();
    // Below Pause, room that takes what the pages do not once they reach their designed height.
    if (auto* right = qobject_cast<QBoxLayout*>(ui.RightColumn->layout())) {
        right->setStretch(0, 1);
        right->addStretch(0);
    }
    setUpStatusBar();

    // Terminal: the line height comes from the font, the line limit from the designed height.
    QFont font = ui.TerminalWin->font();
    font.setPixelSize(TerminalFontPixels);
    ui.TerminalWin->setFont(font);
    // No frame: the pane's whole height holds rows, so height ÷ LineHeight rows fit exactly.
    ui.TerminalWin->setFrameShape(QFrame::NoFrame);
    TerminalLog& terminal = emulator.terminal();
    terminal.LineHeight = static_cast<std::uint16_t>(TerminalFontPixels + 1);
    terminalView = std::make_unique<TerminalWidget>(ui.TerminalWin, terminal.LineHeight);
    fitTerminalToRecords();
    CentreOnDesktop(*this);
    ui.TerminalWin->setLineWrapMode(QTextEdit::WidgetWidth);
    ui.TerminalWin->installEventFilter(this);
    ui.TerminalWin->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.TerminalWin, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = terminalMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(form->TerminalWin->viewport()->mapToGlobal(at));
    });
    terminal.VisibleLines =
        static_cast<std::uint16_t>(DesignedTerminalHeight / terminal.LineHeight);
    terminalView->clearLines();

    connect(ui.MNU_Pause, &QAction::triggered, this, &TMainWin::MNU_PauseClick);
    connect(ui.BTN_Pause, &QCheckBox::clicked, this, &TMainWin::MNU_PauseClick);
    connect(ui.MNU_ClearScreen, &QAction::triggered, this, &TMainWin::MNU_ClearScreenClick);
    connect(ui.MNU_Calibrate, &QAction::triggered, this, &TMainWin::MNU_CalibrateClick);
    connect(ui.MNU_OutputOptions, &QAction::triggered, this, &TMainWin::MNU_OutputOptionsClick);
    connect(ui.Exit1, &QAction::triggered, this, &TMainWin::Exit1Click);
    connect(ui.SerialPort1, &QAction::triggered, this, &TMainWin::SerialPort1Click);
    connect(ui.R1, &QAction::triggered, this, &TMainWin::R1Click);
    connect(ui.About1, &QAction::triggered, this, &TMainWin::About1Click);

    outputOptionsDialog = std::make_unique<OutputOptionsDialog>(emulator, this);
    outputOptionsDialog->onChange([this] { refreshStatus(); });

    emulator.terminal().view = terminalView.get();
    emulator.start(); // settings, then the port

    // One shot at a time, aimed at the time the run loop asks for; a line that drains sooner
    // calls it at once, from the writer's thread through the event queue.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, &TMainWin::Timer1Timer);
    emulator.onWake(
        [this] { QMetaObject::invokeMethod(this, &TMainWin::Timer1Timer, Qt::QueuedConnection); });
    Timer1Timer();
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TMainWin::focusWindowChanged);
    connect(&statusTimer, &QTimer::timeout, this, &TMainWin::refreshStatus);
    statusTimer.start(250);
    refreshStatus();
    wireSimulatorPage();
    wireFilePage();
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusChanged(now); });
}

void TMainWin::focusChanged(QWidget* now) {
    if (!leftForMenu || !now || qobject_cast<QMenuBar*>(now) || qobject_cast<QMenu*>(now))
        return;
    QObject* edit = std::exchange(leftForMenu, nullptr);
    // Back in the edit, or off to another window (which discards, as Ctrl+L does): not left.
    if (now != edit && now->window() == this)
        if (const auto it = editHandlers.find(edit); it != editHandlers.end() && it->second.exit)
            it->second.exit();
}

void TMainWin::setUpStatusBar() {
    QStatusBar* bar = form->StatusBar1;
    bar->setFixedHeight(StatusBarHeight(bar->fontMetrics()));
    bar->setSizeGripEnabled(true);
    const auto field = [bar](const char* name) {
        auto* label = new StatusField(bar);
        label->setObjectName(name);
        bar->addPermanentWidget(label, 0);
        return label;
    };
    // The port's field takes the room the others leave; short of it, the device's path is
    // elided in its middle, so the port's name and state always show.
    status.port = new StatusField(bar);
    status.port->setObjectName("StatusPort");
    bar->addPermanentWidget(status.port, 1);
    status.baud = field("StatusBaud");
    status.sent = field("StatusSent");
    status.dropped = field("StatusDropped");
    status.load = field("StatusLoad");
    // Faults stand first, white on red: records that are wrong on purpose must not pass for
    // the real thing. Short of room they read "FAULTS ON", the list in the tool tip.
    status.faults = new StatusField(bar);
    status.faults->setObjectName("StatusFaults");
    status.faults->setStyleSheet("QLabel { background: #c00000; color: white; font-weight: bold; "
                                 "padding: 0 4px; }");
    bar->insertPermanentWidget(0, status.faults, 0);
    status.faults->hide();
    status.liveTime = new StatusField(bar);
    status.liveTime->setObjectName("StatusLiveTime");
    bar->insertPermanentWidget(1, status.liveTime, 0);
    bar->installEventFilter(this); // its width decides how the fields fit
    status.liveTime->hide();
}

void TMainWin::refreshStatus() { showStatus(StatusTexts(emulator.lineStatus())); }

void TMainWin::showStatus(const LineStatusTexts& t) {
    const auto qs = [](const std::string& text) { return QString::fromStdString(text); };
    status.port->setParts(qs(t.portName + " "), qs(t.portDevice), qs(" " + t.portState));
    // Short of room, each counter keeps its number and shortens its word.
    const auto field = [&qs](StatusField* f, const std::string& text, const char* word,
                             const char* shortWord) {
        const QString whole = qs(text);
        f->setTexts(whole, QString(whole).replace(word, shortWord));
    };
    field(status.baud, t.baud, " baud", " Bd");
    field(status.sent, t.sent, " bytes", " B");
    field(status.dropped, t.dropped, "Dropped ", "Drop ");
    field(status.load, t.load, "Load ", "");
    const QString faults = qs(t.faults);
    status.faults->setTexts(faults, "FAULTS ON");
    field(status.liveTime, t.time, "Live time", "UTC");
    // Fitted before they show: showing a field lays the window out at once, and a window that
    // grew for a moment stays grown.
    fitStatus();
    status.faults->setVisible(!t.faults.empty());
    status.liveTime->setVisible(!t.time.empty());
    const QString title = QStringLiteral(" — FAULTS ON");
    if (t.faults.empty() == windowTitle().endsWith(title))
        setWindowTitle(t.faults.empty() ? windowTitle().chopped(title.size())
                                        : windowTitle() + title);
}

void TMainWin::fitStatus() {
    // Short of room the counters shorten their words, then the fault list goes to its tool
    // tip, and last the port's device may shrink to an ellipsis; it takes what is left,
    // elided in its middle.
    QStatusBar* bar = form->StatusBar1;
    // From the fields' own hints: the layout's are cached until it runs again.
    // The fault and live time fields count when they have a text, shown yet or not.
    const auto fits = [this, bar] {
        const int spacing = std::max(0, bar->layout()->spacing());
        int needed = 3 * spacing; // what the bar puts around its fields
        for (const QWidget* w : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w == status.faults || w == status.liveTime
                    ? !static_cast<const StatusField*>(w)->wholeText().isEmpty()
                    : !w->isHidden())
                needed += std::max(w->minimumSizeHint().width(),
                                   w->sizeHint().width() * !qobject_cast<const QLabel*>(w)) +
                          spacing;
        return needed <= bar->width();
    };
    StatusField* const counters[] = {status.baud, status.sent, status.dropped, status.load,
                                     status.liveTime};
    for (StatusField* f : counters)
        f->setShort(false);
    status.faults->setShort(false);
    status.port->setShort(false);
    if (fits())
        return;
    for (StatusField* f : counters)
        f->setShort(true);
    if (fits())
        return;
    status.faults->setShort(true);
    if (!fits())
        status.port->setShort(true);
}

void TMainWin::wireFilePage() {
    Ui::TMainWin& ui = *form;
    FilePage& filePage = *fileLogic;
    connect(ui.BTN_OpenFile, &QPushButton::clicked, this,
            [&filePage] { filePage.BTN_OpenFileClick(); });
    connect(ui.TAB_main, &QTabWidget::currentChanged, this,
            [&filePage] { filePage.TAB_mainChange(); });
    connect(ui.RadioGroupFileType->findChild<QButtonGroup*>(), &QButtonGroup::idClicked, this,
            [&filePage] { filePage.RadioGroupFileTypeClick(); });
    connect(ui.CheckBoxLoop, &QCheckBox::clicked, this,
            [&filePage] { filePage.CheckBoxLoopClick(); });
    connect(ui.UpDown_lps, &StepButtons::clicked, this,
            [&filePage] { filePage.UpDown_lpsClick(); });
    connect(ui.EDIT_chunks, &QLineEdit::textChanged, this,
            [&filePage] { filePage.EDIT_chunksChange(); });
    connect(ui.UpDown_sec, &StepButtons::clicked, this,
            [&filePage] { filePage.UpDown_secClick(); });
    connect(ui.EDIT_SecPause, &QLineEdit::textChanged, this,
            [&filePage] { filePage.EDIT_SecPauseChange(); });
}

void TMainWin::wireSimulatorPage() {
    Ui::TMainWin& ui = *form;
    SimulatorPage& page = *simulatorLogic;
    const auto direction = [](bool up) { return up ? UpDownButton::Up : UpDownButton::Down; };
    watchEdit(
        ui.EB_Value, [&page] { page.EB_ValueExit(); },
        [&page](char k) { page.EB_ValueKeyPress(k); });
    watchEdit(
        ui.EB_Track, [&page] { page.EB_TrackExit(); },
        [&page](char k) { page.EB_TrackKeyPress(k); });
    watchEdit(
        ui.EB_Speed, [&page] { page.EB_SpeedExit(); },
        [&page](char k) { page.EB_SpeedKeypress(k); });
    watchEdit(
        ui.EB_Flow, [&page] { page.EB_FlowExit(); }, [&page](char k) { page.EB_FlowKeyPress(k); });
    watchEdit(ui.BTN_Course, [&page] { page.BTN_CourseClick(); }, {});
    connect(ui.UpDown1, &StepButtons::clicked, this,
            [&page, direction](bool up) { page.UpDown1Click(direction(up)); });
    connect(ui.UpDown2, &StepButtons::clicked, this,
            [&page, direction](bool up) { page.UpDown2Click(direction(up)); });
    connect(ui.UpDown3, &StepButtons::clicked, this,
            [&page, direction](bool up) { page.UpDown3Click(direction(up)); });
    connect(ui.UpDown4, &StepButtons::clicked, this,
            [&page, direction](bool up) { page.UpDown4Click(direction(up)); });
    connect(ui.BTN_Course, &QCheckBox::clicked, this, [&page] { page.BTN_CourseClick(); });
    connect(ui.BTN_Heading, &QCheckBox::clicked, this, [&page] { page.BTN_HeadingClick(); });
    connect(ui.BTN_FlowEna, &QCheckBox::clicked, this, [&page] { page.BTN_FlowEnaClick(); });
    connect(ui.GroupXTE->findChild<QButtonGroup*>(), &QButtonGroup::idClicked, this,
            [&page] { page.GroupXTEClick(); });
    connect(ui.GroupFormat->findChild<QButtonGroup*>(), &QButtonGroup::idClicked, this,
            [&page] { page.GroupFormatClick(); });
}

void TMainWin::watchEdit(QWidget* edit, std::function<void()> exit,
                         std::function<void(char)> keyPress) {
    editHandlers[edit] = {std::move(exit), std::move(keyPress)};
    edit->installEventFilter(this);
}

TMainWin::~TMainWin() {
    // Focus moves while the widgets go; what follows focus must not reach a half-gone window.
    disconnect(qApp, nullptr, this, nullptr);
    emulator.onWake(nullptr);
    emulator.terminal().view = nullptr;
}

void TMainWin::fitRightColumn() {
    // The page column is 105 pixels wide by design; a wider font would clip the page tabs and
    // captions, so it grows just enough for them.
    Ui::TMainWin& ui = *form;
    int needed = ui.TAB_main->tabBar()->sizeHint().width();
    for (QWidget* page : {ui.SimulatorTab, ui.FileTab})
        needed = std::max(needed, page->minimumSizeHint().width());
    const int width = std::max(105, needed + 4);
    ui.RightColumn->setFixedWidth(width);
    resize(this->width() + width - 105, height());
    // With text taller than drawn for, the pages would squeeze their controls: the window
    // grows to hold them. At the drawn size nothing moves.
    if (fontMetrics().height() > 14) {
        ui.TAB_main->setMinimumHeight(ui.TAB_main->minimumSizeHint().height());
        resize(this->width(), std::max(height(), centralWidget()->minimumSizeHint().height() +
                                                     menuBar()->sizeHint().height() +
                                                     StatusBarHeight(fontMetrics())));
    }
}

void TMainWin::fitTerminalToRecords() {
    // The window opens wide enough for a record on one row in this platform's terminal font;
    // narrower, it wraps them.
    const SimulatorValues defaults;
    QTextEdit* terminal = form->TerminalWin;
    const QFontMetrics metrics(terminal->font());
    int widest = 0;
    for (const std::string& record :
         {BuildRmbSentence(defaults), BuildRmcSentence(defaults), BuildAviationRecord(defaults)})
        widest = std::max(widest, metrics.horizontalAdvance(TerminalWidget::DisplayText(record)));
    const int chrome = 2 * (terminal->frameWidth() + TerminalWidget::SideMargin) +
                       metrics.averageCharWidth(); // the cursor and rounding
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    const int designed = width() - form->RightColumn->width() - margins.left() - margins.right() -
                         centralWidget()->layout()->spacing();
    if (widest + chrome > designed)
        resize(width() + widest + chrome - designed, height());
}

void TMainWin::armTimer1(std::chrono::steady_clock::time_point when) {
    if (when == std::chrono::steady_clock::time_point::max()) {
        Timer1.stop(); // the run is over
        return;
    }
    // Rounded up, so that the shot never comes before the deadline it aims at.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
    Timer1.start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
        left.count(), 0, std::numeric_limits<int>::max())));
}

void TMainWin::Timer1Timer() {
    armTimer1(emulator.serve(std::chrono::steady_clock::now()));
    if (served)
        served();
}

void TMainWin::showEngineValues() {
    fileLogic->ShowReplay();
    simulatorLogic->ShowValues();
    const SimulatorValues& v = emulator.simulator().values();
    // setChecked raises no clicked(), so no handler runs again.
    form->BTN_Course->setChecked(v.courseOn);
    form->BTN_Heading->setChecked(v.headingOn);
    form->BTN_FlowEna->setChecked(emulator.fuelFlow().enabled());
    fileWindow.setPauseChecked(emulator.runLoop().isPaused());
    refreshStatus();
}

void TMainWin::FormActivate() { simulatorLogic->FormActivate(); }

void TMainWin::FormResize() {
    TerminalLog& terminal = emulator.terminal();
    const int height = form->TerminalWin->height();
    terminal.VisibleLines = static_cast<std::uint16_t>(height / terminal.LineHeight);
}

void TMainWin::MNU_PauseClick() { fileLogic->MNU_PauseClick(); }

void TMainWin::MNU_ClearScreenClick() { terminalView->clearLines(); }

void TMainWin::setDialogs(QWidget* calibrate, QWidget* serialPort) {
    calibrateDialog = calibrate;
    serialPortDialog = serialPort;
}

namespace {
// Modeless: a dialog already showing only comes to the front.
void showModeless(QWidget* dialog) {
    if (!dialog)
        return;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
} // namespace

void TMainWin::MNU_CalibrateClick() { showModeless(calibrateDialog); }

void TMainWin::MNU_OutputOptionsClick() { showModeless(outputOptionsDialog.get()); }

void TMainWin::SerialPort1Click() { showModeless(serialPortDialog); }

void TMainWin::Exit1Click() { close(); }

namespace {
// The manual is installed beside the program; a build tree uses the sources' copy.
QStringList manualPlaces() {
    const QString appDir = QCoreApplication::applicationDirPath();
    return {QDir(appDir).filePath("../share/doc/tarrow/Tarrow7.html"),
            QDir(appDir).filePath("docs/Tarrow7.html"),
            QStringLiteral(TARROW_DOCS_SOURCE_DIR "/Tarrow7.html")};
}

QString manualPath() {
    for (const QString& path : manualPlaces())
        if (QFileInfo::exists(path))
            return QFileInfo(path).canonicalFilePath();
    return {};
}
} // namespace

void TMainWin::R1Click() {
    const QString path = manualPath();
    if (path.isEmpty()) {
        std::string text = "The manual Tarrow7.html was not found. Looked in:";
        for (const QString& place : manualPlaces())
            text += "\r\n" + QDir::cleanPath(place).toStdString();
        emulator.messages().show(text, "Instructions", MsgIcon::Warning);
        return;
    }
    // The program's own help window: no web browser needed.
    if (!help) {
        help = std::make_unique<QTextBrowser>();
        help->setObjectName("HelpWindow");
        help->setWindowTitle("Tarrow Instructions");
        help->setOpenExternalLinks(true);
        help->resize(640, 600);
    }
    help->setSearchPaths({QFileInfo(path).absolutePath()});
    help->setSource(QUrl::fromLocalFile(path));
    help->show();
    help->raise();
    help->activateWindow();
}

QMenu* TMainWin::terminalMenu() {
    QMenu* menu = form->TerminalWin->createStandardContextMenu();
    menu->addSeparator();
    QAction* save = menu->addAction("Save As…");
    save->setObjectName("TerminalSaveAs");
    connect(save, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, "Save As", "terminal.txt", "Text files (*.txt)");
        if (!path.isEmpty() && !saveTerminal(path))
            emulator.messages().show("Can't write " + path.toStdString(), "Error", MsgIcon::Error);
    });
    return menu;
}

bool TMainWin::saveTerminal(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString text = form->TerminalWin->toPlainText();
    const QByteArray bytes = text.isEmpty() ? QByteArray() : (text + '\n').toUtf8();
    return file.write(bytes) == bytes.size();
}

void TMainWin::About1Click() {
    const QString manual = manualPath();
    emulator.messages().show(
        std::string("Tarrow Version " TARROW_VERSION "\r\n"
                    "GPS receiver emulator for the bench\r\n"
                    "Brackwater Associates. Licence: proprietary, all "
                    "rights reserved.\r\n"
                    "Manual: ") +
            (manual.isEmpty() ? std::string("not installed") : manual.toStdString()),
        "About", MsgIcon::Information);
}

void TMainWin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce)
        return;
    shownOnce = true;
    // Pause is anchored to the top: the pages keep their designed height as the window grows.
    form->TAB_main->setMaximumHeight(form->TAB_main->height());
    FormActivate(); // the first display
}

void TMainWin::focusWindowChanged(QWindow* now) {
    const QWindow* before = std::exchange(previousFocusWindow, now);
    if (!now || now != windowHandle() || !before)
        return;
    for (QWidget* dialog : {calibrateDialog, serialPortDialog})
        if (dialog && dialog->windowHandle() == before)
            FormActivate();
}

void TMainWin::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form->StatusBar1 && event->type() == QEvent::Resize)
        fitStatus();
    // An edit would take Ctrl+X as Cut; in this window it is Exit, wherever the focus is.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // With text selected in the terminal, Ctrl+C copies it; otherwise it clears the screen.
        if (watched == form->TerminalWin && key->matches(QKeySequence::Copy) &&
            form->TerminalWin->textCursor().hasSelection()) {
            event->accept();
            return true;
        }
        if (QKeySequence(key->keyCombination()) == form->Exit1->shortcut()) {
            event->ignore();
            return true;
        }
    }
    if (const auto it = editHandlers.find(watched); it != editHandlers.end()) {
        const EditHandlers& h = it->second;
        switch (event->type()) {
        case QEvent::FocusOut: {
            // A message box or another window taking the focus is not the user leaving, nor is
            // a menu opened by the mouse or by Alt: Escape gives the edit back as it was.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason)
                leftForMenu = watched;
            else if (reason != Qt::ActiveWindowFocusReason && h.exit)
                h.exit();
            break;
        }
        case QEvent::MouseButtonRelease:
            if (h.exit && qobject_cast<QLineEdit*>(watched))
                h.exit();
            break;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (h.keyPress && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
                h.keyPress('\r');
            break;
        }
        default:
            break;
        }
    }
    // The terminal gets its final height from the layout after the window's own resize.
    if (watched == form->TerminalWin && event->type() == QEvent::Resize)
        FormResize();
    return QMainWindow::eventFilter(watched, event);
}

void TMainWin::closeEvent(QCloseEvent* event) {
    Timer1.stop();
    emulator.shutdown();
    event->accept();
    QCoreApplication::quit();
}
