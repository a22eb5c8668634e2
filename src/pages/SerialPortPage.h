#pragma once

#include <string>

class Emulator;

// What the Serial Port dialog's handlers need of its window.
class SerialPortWindow {
public:
    virtual ~SerialPortWindow() = default;
    // Selected item of GroupPort (port index) and GroupBaud (baud choice); -1 when none.
    virtual int selectedPort() const = 0;
    virtual void selectPort(int index) = 0;
    virtual int selectedBaud() const = 0;
    virtual void selectBaud(int choice) = 0;
    virtual void closeDialog() = 0; // hides it; the dialog lives for the whole run
    // The device chosen for the selected port: a path or a virtual entry; empty for no change.
    virtual std::string chosenDevice() const { return {}; }
};

// The handlers of the Serial Port dialog: switch port (persisting it) and baud rate.
class SerialPortPage {
public:
    SerialPortPage(Emulator& emulator, SerialPortWindow& window);

    void FormShow();
    void BTN_OKClick();
    void BTN_CANCELClick();

private:
    Emulator& emulator;
    SerialPortWindow& window;
};
