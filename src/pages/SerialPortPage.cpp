#include "pages/SerialPortPage.h"

#include "engine/Emulator.h"
#include "engine/MessageBoxSeam.h"

SerialPortPage::SerialPortPage(Emulator& e, SerialPortWindow& w) : emulator(e), window(w) {}

void SerialPortPage::FormShow() {
    window.selectPort(emulator.port().portIndex);
    window.selectBaud(emulator.port().baudChoice);
}

void SerialPortPage::BTN_OKClick() {
    Port& port = emulator.port();
    // With no item selected there is nothing to switch to: the current port stays.
    const int chosen = window.selectedPort();
    if (chosen >= 0) {
        const CommandResult switched = port.switchTo(chosen, window.chosenDevice());
        if (!switched.ok && emulator.messages().show(switched.text, "", MsgIcon::Warning,
                                                     MsgButtons::RetryCancel) == MsgResult::Retry)
            return; // the dialog stays as it is; OK tries again
    }
    const int baud = window.selectedBaud();
    port.setBaudChoice(baud >= 0 ? baud : port.baudChoice, emulator.simulator().values().format);
    window.closeDialog();
}

void SerialPortPage::BTN_CANCELClick() { window.closeDialog(); }
