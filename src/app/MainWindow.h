#pragma once
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/AppServices.h"
#include "app/QtFilePageWindow.h"
#include "app/QtSimulatorWindow.h"
#include "app/TerminalWidget.h"
#include "emulator/FuelFlow.h"
#include "emulator/OutputTick.h"
#include "emulator/SimulatorInputs.h"
#include "playback/FilePage.h"
#include "playback/PlaybackEngine.h"
#include "playback/Sleeper.h"
#include "serial/TerminalLog.h"
#include "serial/TransmitLine.h"

namespace Ui {
class TMainWin;
}

// The main window: terminal, page control, status bar, Pause, menu and the two timers.
class TMainWin : public QMainWindow, public OutputTickWindow {
    Q_OBJECT
public:
    explicit TMainWin(AppServices& services, QWidget* parent = nullptr);
    ~TMainWin() override;

    Ui::TMainWin& ui() { return *form; }
    // The open-file dialog of the File page; tests put their own chooser here.
    QtFilePageWindow::OpenDialog& openDialog() { return fileWindow.openDialog; }
    PlaybackEngine& playback() { return engine; }
    Transmitter& transmitter() { return output; }
    TerminalLog& terminalLog() { return terminal; }
    QTimer& timer1() { return Timer1; }
    QTimer& flowTimer() { return FlowTimer; }
    // The Calibrate and Serial Port dialogs that the Edit and Setup menus show.
    void setDialogs(QWidget* calibrate, QWidget* serialPort);

    // OutputTickWindow
    int pauseSecondsPosition() const override;
    void setTickPeriod(int milliseconds) override;
    int currentPage() const override;

public slots:
    void FormActivate();
    void MNU_PauseClick();
    void MNU_ClearScreenClick();
    void MNU_CalibrateClick();
    void Exit1Click();
    void SerialPort1Click();
    void R1Click();
    void About1Click();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormResize();
    void openStartupPort();
    void fitRightColumn();
    void wireSimulatorPage();
    void wireFilePage();
    // Runs `exit` when the edit is clicked or loses the focus to another control, and
    // `keyPress` with each typed character.
    void watchEdit(QWidget* edit, std::function<void()> exit, std::function<void(char)> keyPress);

    AppServices& services;
    EmulatorState& state;
    std::unique_ptr<Ui::TMainWin> form;
    std::unique_ptr<TerminalWidget> terminalView;
    TerminalLog terminal;
    Transmitter output;
    OutputTick tick;
    QTimer Timer1;
    QTimer FlowTimer;
    QtSimulatorWindow simulatorWindow;
    SimulatorInputs simulator;
    FuelFlow fuelFlow;
    ThreadSleeper sleeper;
    QtFilePageWindow fileWindow;
    PlaybackEngine engine;
    FilePage filePage;
    struct EditHandlers {
        std::function<void()> exit;
        std::function<void(char)> keyPress;
    };
    std::map<QObject*, EditHandlers> editHandlers;
    bool pauseGuard = false;
    QWidget* calibrateDialog = nullptr;
    QWidget* serialPortDialog = nullptr;
};
