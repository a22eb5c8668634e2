#pragma once
#include <QDialog>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <vector>

#include "line/DeviceDiscovery.h"
#include "pages/SerialPortPage.h"

class Emulator;
class QButtonGroup;

namespace Ui {
class TFRM_SerialPort;
}

// The Serial Port dialog: modeless and on top; OK switches port and baud rate through
// SerialPortPage, Cancel, Escape and the close box only hide it.
class TFRM_SerialPort : public QDialog, public SerialPortWindow {
    Q_OBJECT
public:
    explicit TFRM_SerialPort(Emulator& emulator, QWidget* parent = nullptr);
    ~TFRM_SerialPort() override;

    Ui::TFRM_SerialPort& ui() { return *form; }
    QButtonGroup* portRows() const { return ports; }
    QButtonGroup* baudRows() const { return bauds; }

    // SerialPortWindow
    int selectedPort() const override;
    void selectPort(int index) override;
    int selectedBaud() const override;
    void selectBaud(int choice) override;
    void closeDialog() override;
    std::string chosenDevice() const override;

    // Looks for devices again and shows what each port opens; also every second while shown,
    // so an adapter plugged in or pulled out appears or vanishes.
    void refreshDevices();
    // Where devices are looked for: "/" but for pictures of a machine without any.
    void setDeviceRoot(std::filesystem::path root) { deviceRoot = std::move(root); }

public slots:
    void FormShow();
    void BTN_OKClick();
    void BTN_CANCELClick();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showDevicePaths();
    // The choice box offers the devices found and the virtual ones, showing `port`'s own.
    void showChoiceFor(int port);

    Emulator& emulator;
    std::unique_ptr<Ui::TFRM_SerialPort> form;
    SerialPortPage logic;
    QButtonGroup* ports;
    QButtonGroup* bauds;
    bool showing = false;
    QTimer rescan;
    std::vector<SerialDeviceInfo> found;
    std::filesystem::path deviceRoot = "/";
};
