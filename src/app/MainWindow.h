#pragma once
#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "app/QtFilePageWindow.h"
#include "app/QtSimulatorWindow.h"
#include "app/StatusField.h"
#include "app/TerminalWidget.h"
#include "engine/LineStatus.h"
#include "pages/FilePage.h"
#include "pages/SimulatorPage.h"

class Emulator;
class QLabel;
class QMenu;
class OutputOptionsDialog;
class QTextBrowser;
class QWindow;

namespace Ui {
class TMainWin;
}

// The main window: terminal, page control, status bar, Pause and menu. It maps its widgets
// onto the pages' handlers and serves the emulator's run loop from Timer1.
class TMainWin : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainWin(Emulator& emulator, QWidget* parent = nullptr);
    ~TMainWin() override;

    Ui::TMainWin& ui() { return *form; }
    // The open-file dialog of the File page; tests put their own chooser here.
    QtFilePageWindow::OpenDialog& openDialog() { return fileWindow.openDialog; }
    // Timer1: fires when the run loop asks to be served next; stopping it stops the ticks.
    QTimer& timer1() { return Timer1; }
    QTimer& statusRefresh() { return statusTimer; }
    SimulatorPage& simulatorPage() { return *simulatorLogic; }
    FilePage& filePage() { return *fileLogic; }
    // The Calibrate and Serial Port dialogs that the Edit and Setup menus show.
    void setDialogs(QWidget* calibrate, QWidget* serialPort);

public slots:
    void FormActivate();
    void MNU_PauseClick();
    void MNU_ClearScreenClick();
    void MNU_CalibrateClick();
    void MNU_OutputOptionsClick();
    void Exit1Click();
    void SerialPort1Click();
    void R1Click();
    void About1Click();
    void Timer1Timer();
    // Shows what the line writer and the port did since the last refresh.
    void refreshStatus();

public:
    // The status bar's fields set to these texts.
    void showStatus(const LineStatusTexts& texts);
    // The terminal's context menu: Copy, Select All, Save As…
    QMenu* terminalMenu();
    // Writes the records the terminal shows, one a line, to `path`; false when it cannot.
    bool saveTerminal(const QString& path);
    // What another front end changed shows in the controls and check boxes.
    void showEngineValues();
    // Called after every service of the run loop (the control socket's events).
    void onServed(std::function<void()> callback) { served = std::move(callback); }
    // Edit → Output Options: faults and live time.
    OutputOptionsDialog& outputOptions() { return *outputOptionsDialog; }
    // The window that shows the manual, once Help → Instructions has opened it.
    QTextBrowser* helpWindow() const { return help.get(); }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormResize();
    // Activation runs only when the user comes back from one of the two dialogs.
    void focusWindowChanged(QWindow* now);
    void armTimer1(std::chrono::steady_clock::time_point when);
    void fitRightColumn();
    void fitTerminalToRecords();
    void setUpStatusBar();
    void fitStatus();
    void wireSimulatorPage();
    void wireFilePage();
    // Runs `exit` when the edit is clicked or loses the focus to another control, and
    // `keyPress` with each typed character.
    void watchEdit(QWidget* edit, std::function<void()> exit, std::function<void(char)> keyPress);
    // An edit left for a menu is left for good only when the focus goes on to another control.
    void focusChanged(QWidget* now);

    Emulator& emulator;
    std::unique_ptr<Ui::TMainWin> form;
    std::unique_ptr<TerminalWidget> terminalView;
    std::unique_ptr<QtSimulatorWindow> simulatorWindow;
    QtFilePageWindow fileWindow;
    QString openFolder; // where File -> Open starts; empty: the samples
    std::unique_ptr<SimulatorPage> simulatorLogic;
    std::unique_ptr<FilePage> fileLogic;
    QTimer Timer1;
    std::function<void()> served;
    QTimer statusTimer;
    struct StatusFields {
        StatusField* port; // the device's path elided in its middle when short of room
        StatusField* baud;
        StatusField* sent;
        StatusField* dropped;
        StatusField* load;
        StatusField*
            faults; // shown only while a fault is on, in red; the list only when there is room
        StatusField* liveTime; // shown only while live time is on
    } status{};
    struct EditHandlers {
        std::function<void()> exit;
        std::function<void(char)> keyPress;
    };
    std::map<QObject*, EditHandlers> editHandlers;
    QObject* leftForMenu = nullptr; // a watched edit whose focus a menu took
    QWidget* calibrateDialog = nullptr;
    QWidget* serialPortDialog = nullptr;
    QWindow* previousFocusWindow = nullptr;
    std::unique_ptr<QTextBrowser> help;
    std::unique_ptr<OutputOptionsDialog> outputOptionsDialog;
    bool shownOnce = false;
};
