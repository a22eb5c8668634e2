#include "serial/SerialPortDialog.h"

#include <QButtonGroup>
#include <QHideEvent>
#include <QShowEvent>

#include "settings/SettingsStore.h"
#include "app/WidgetHelpers.h"
#include "engine/Emulator.h"
#include "serial/SerialLink.h"
#include "ui_SerialPortDialog.h"

TFRM_SerialPort::TFRM_SerialPort(Emulator& e, QWidget* parent)
    : QDialog(parent), emulator(e), form(std::make_unique<Ui::TFRM_SerialPort>()),
      logic(e.state(), *this, e.link(), e.messages(), e.settings()) {
    form->setupUi(this);
    Ui::TFRM_SerialPort& ui = *form;
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    CentreOnDesktop(*this);

    ports = MakeButtonGroup(this, "GroupPortButtons",
                            {ui.PortRow0, ui.PortRow1, ui.PortRow2, ui.PortRow3});
    bauds = MakeButtonGroup(this, "GroupBaudButtons",
                            {ui.BaudRow0, ui.BaudRow1, ui.BaudRow2, ui.BaudRow3});

    connect(ui.BTN_OK, &QPushButton::clicked, this, &TFRM_SerialPort::BTN_OKClick);
    connect(ui.BTN_CANCEL, &QPushButton::clicked, this, &TFRM_SerialPort::BTN_CANCELClick);
}

TFRM_SerialPort::~TFRM_SerialPort() = default;

int TFRM_SerialPort::selectedPort() const { return ports->checkedId(); }

void TFRM_SerialPort::selectPort(int index) {
    if (QAbstractButton* b = ports->button(index))
        b->setChecked(true);
}

int TFRM_SerialPort::selectedBaud() const { return bauds->checkedId(); }

void TFRM_SerialPort::selectBaud(int choice) {
    if (QAbstractButton* b = bauds->button(choice))
        b->setChecked(true);
}

void TFRM_SerialPort::closeDialog() { hide(); }

void TFRM_SerialPort::showDevicePaths() {
    // The user sees COM1..COM4; under the group's hint, the tip says which device each opens.
    const QString hint = form->GroupPort->toolTip();
    for (QAbstractButton* b : ports->buttons()) {
        const char* name = SerialLink::PortNames[static_cast<std::size_t>(ports->id(b))];
        const std::string path = emulator.settings().devicePath(name);
        b->setToolTip(QString("%1\n%2 opens %3").arg(hint, name, QString::fromStdString(path)));
    }
}

void TFRM_SerialPort::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (showing)
        return;
    showing = true;
    showDevicePaths();
    FormShow();
}

void TFRM_SerialPort::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        showing = false;
}

void TFRM_SerialPort::reject() { BTN_CANCELClick(); }

void TFRM_SerialPort::FormShow() { logic.FormShow(); }
void TFRM_SerialPort::BTN_OKClick() { logic.BTN_OKClick(); }
void TFRM_SerialPort::BTN_CANCELClick() { logic.BTN_CANCELClick(); }
