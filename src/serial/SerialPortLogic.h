#pragma once

#include "emulator/EmulatorState.h"

class MessageBoxSeam;
class SerialLink;
class SettingsStore;

// What the Serial Port dialog's logic needs of its window.
class SerialPortWindow {
public:
    virtual ~SerialPortWindow() = default;
    // Selected item of GroupPort (port index) and GroupBaud (baud choice); -1 when none.
    virtual int selectedPort() const = 0;
    virtual void selectPort(int index) = 0;
    virtual int selectedBaud() const = 0;
    virtual void selectBaud(int choice) = 0;
    virtual void closeDialog() = 0; // hides it; the dialog lives for the whole run
};

// The handlers of the Serial Port dialog: switch port (persisting it) and baud rate.
class SerialPortLogic {
public:
    SerialPortLogic(EmulatorState& state, SerialPortWindow& window, SerialLink& link,
                    MessageBoxSeam& messages, SettingsStore& settings);

    void FormShow();
    void BTN_OKClick();
    void BTN_CANCELClick();

private:
    // false: the user asked to retry, so the dialog stays as it is.
    bool switchPort(int chosen);
    void persistPort(int chosen);

    EmulatorState& state;
    SerialPortWindow& window;
    SerialLink& link;
    MessageBoxSeam& messages;
    SettingsStore& settings;
};
