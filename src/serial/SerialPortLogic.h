#pragma once

#include <string>

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
    // The device chosen for the selected port: a path or a virtual entry; empty for no change.
    virtual std::string chosenDevice() const { return {}; }
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
    // device: what the port is to open from now on, or empty for what it maps to.
    bool switchPort(int chosen, const std::string& device);
    void persistPort(int chosen, const std::string& device);

    EmulatorState& state;
    SerialPortWindow& window;
    SerialLink& link;
    MessageBoxSeam& messages;
    SettingsStore& settings;
};
