#include <QApplication>
#include <exception>

#include "app/CalibrateDialog.h"
#include "app/MainWindow.h"
#include "app/QtMessageBox.h"
#include "app/SerialPortDialog.h"
#include "app/WidgetHelpers.h"
#include "engine/Emulator.h"
#include "line/PosixSerialDevice.h"
#include "settings/SettingsStore.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    SetApplicationTitle();
    QtMessageBox messages;
    try {
        FileSettingsStore settings(FileSettingsStore::ConfigHomeFromEnvironment());
        PosixSerialDevice device(
            [&settings](const std::string& name) { return settings.devicePath(name); });
        Emulator emulator(device, settings, messages);
        TMainWin mainWin(emulator);
        TCalibrate calibrate(emulator);
        TFRM_SerialPort serialPort(emulator);
        mainWin.setDialogs(&calibrate, &serialPort);
        mainWin.show();
        return app.exec();
    } catch (const std::exception& e) {
        messages.show(e.what(), "", MsgIcon::Error, MsgButtons::Ok);
    }
    return 0;
}
