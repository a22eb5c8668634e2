#include <QApplication>
#include <exception>

#include "app/AppServices.h"
#include "app/MainWindow.h"
#include "app/QtMessageBox.h"
#include "app/SettingsStore.h"
#include "coupler/CalibrateDialog.h"
#include "emulator/EmulatorState.h"
#include "serial/PosixSerialDevice.h"
#include "serial/SerialLink.h"
#include "serial/SerialPortDialog.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tarrow7");
    QApplication::setApplicationDisplayName("Tarrow7");
    QtMessageBox messages;
    try {
        static EmulatorState state;
        FileSettingsStore settings(FileSettingsStore::ConfigHomeFromEnvironment());
        PosixSerialDevice device(
            [&settings](const std::string& name) { return settings.devicePath(name); });
        SerialLink link(state, device, messages);
        AppServices services{state, link, settings, messages};
        TMainWin mainWin(services);
        TCalibrate calibrate(services, mainWin.transmitter());
        TFRM_SerialPort serialPort(services);
        mainWin.setDialogs(&calibrate, &serialPort);
        mainWin.show();
        return app.exec();
    } catch (const std::exception& e) {
        messages.show(e.what(), "", MsgIcon::Error, MsgButtons::Ok);
    }
    return 0;
}
