#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <csignal>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>

#include "app/CalibrateDialog.h"
#include "app/MainWindow.h"
#include "app/QtMessageBox.h"
#include "app/SerialPortDialog.h"
#include "app/WidgetHelpers.h"
#include "control/ControlServer.h"
#include "engine/Emulator.h"
#include "line/PosixSerialDevice.h"
#include "settings/SettingsStore.h"

namespace {

int quitPipe[2] = {-1, -1};

void askToQuit(int) {
    const char byte = 1;
    (void)!::write(quitPipe[1], &byte, 1);
}

// SIGINT, SIGTERM and SIGHUP end the run the way closing the window does, so that what the
// run made (the pseudo-terminal links) goes with it. A closed pipe fails only its write.
void quitOnSignals(QApplication& app) {
    ::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    // The byte stays in the pipe, so the notifier fires on every turn of whatever loop runs: a
    // box shown at start-up, before the main loop that quit() ends, is dismissed first.
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            box->reject();
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = askToQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

// --control, --control=ADDRESS or --control ADDRESS; nothing when not asked for.
std::optional<std::string> controlArgument(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--control")
            return i + 1 < args.size() && !args[i + 1].startsWith("-") ? args[i + 1].toStdString()
                                                                       : std::string();
        if (args[i].startsWith("--control="))
            return args[i].mid(10).toStdString();
    }
    return std::nullopt;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quitOnSignals(app);
    SetApplicationTitle();
    QtMessageBox messages;
    try {
        FileSettingsStore settings(FileSettingsStore::ConfigHomeFromEnvironment());
        RemoveStaleLinks(DefaultLinkDirectory());
        PosixSerialDevice device(
            [&settings](const std::string& name) { return settings.devicePath(name); });
        Emulator emulator(device, settings, messages);
        TMainWin mainWin(emulator);
        TCalibrate calibrate(emulator);
        TFRM_SerialPort serialPort(emulator);
        mainWin.setDialogs(&calibrate, &serialPort);

        // The control socket, served on this thread between ticks like a click.
        std::unique_ptr<ControlProtocol> protocol;
        std::unique_ptr<ControlServer> control;
        if (const auto address = controlArgument(QApplication::arguments())) {
            ControlAddress where;
            std::string wrong = ParseControlAddress(*address, where);
            if (wrong.empty()) {
                protocol = std::make_unique<ControlProtocol>(emulator, "tarrow", TARROW_VERSION);
                control = std::make_unique<ControlServer>(emulator, *protocol);
                wrong = control->listen(where);
            }
            if (!wrong.empty()) {
                messages.show(wrong, "", MsgIcon::Error, MsgButtons::Ok);
                return 2;
            }
            protocol->onChanged([&mainWin] { mainWin.showEngineValues(); });
            mainWin.onServed([&control] { control->afterServe(); });
            auto* notifier = new QSocketNotifier(control->fd(), QSocketNotifier::Read, &mainWin);
            QObject::connect(notifier, &QSocketNotifier::activated,
                             [&control] { control->process(); });
        }
        mainWin.show();
        const int status = app.exec();
        mainWin.onServed(nullptr);
        return status;
    } catch (const std::exception& e) {
        messages.show(e.what(), "", MsgIcon::Error, MsgButtons::Ok);
    }
    return 0;
}
