#include "app/SerialPortDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>
#include <algorithm>
#include <filesystem>

#include "app/WidgetHelpers.h"
#include "engine/Emulator.h"
#include "line/SerialLink.h"
#include "line/VirtualPorts.h"
#include "settings/SettingsStore.h"
#include "ui_SerialPortDialog.h"

TFRM_SerialPort::TFRM_SerialPort(Emulator& e, QWidget* parent)
    : QDialog(parent), emulator(e), form(std::make_unique<Ui::TFRM_SerialPort>()), logic(e, *this) {
    form->setupUi(this);
    Ui::TFRM_SerialPort& ui = *form;
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    FitFormToFont(*this);
    CentreOnDesktop(*this);

    ports = MakeButtonGroup(this, "GroupPortButtons",
                            {ui.PortRow0, ui.PortRow1, ui.PortRow2, ui.PortRow3});
    bauds = MakeButtonGroup(this, "GroupBaudButtons",
                            {ui.BaudRow0, ui.BaudRow1, ui.BaudRow2, ui.BaudRow3});

    connect(ports, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            showChoiceFor(id);
    });
    connect(&rescan, &QTimer::timeout, this, &TFRM_SerialPort::refreshDevices);
    rescan.setInterval(1000);
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

namespace {
const std::pair<const char*, const char*> VirtualChoices[] = {
    {"virtual (pseudo-terminal)", "pty"},
    {"TCP server", "tcp:10110"},
    {"UDP", "udp:127.0.0.1:10110"},
};

// "present" or "absent" for a path; virtual entries are made by the program itself.
QString presence(const std::filesystem::path& root, const std::string& device) {
    if (VirtualKindOf(device) != VirtualKind::None)
        return "virtual";
    std::error_code ec;
    return std::filesystem::exists(root / std::filesystem::path(device).relative_path(), ec)
               ? "present"
               : "absent";
}
} // namespace

std::string TFRM_SerialPort::chosenDevice() const {
    const QComboBox* box = form->DeviceChoice;
    const int i = box->currentIndex();
    if (i >= 0 && box->itemText(i) == box->currentText())
        return box->itemData(i).toString().toStdString();
    return box->currentText().trimmed().toStdString();
}

void TFRM_SerialPort::refreshDevices() {
    std::vector<SerialDeviceInfo> now = DiscoverSerialDevices(deviceRoot);
    const bool changed = now.size() != found.size() ||
                         !std::equal(now.begin(), now.end(), found.begin(),
                                     [](const auto& a, const auto& b) { return a.path == b.path; });
    found = std::move(now);
    QLabel* labels[] = {form->PortDevice0, form->PortDevice1, form->PortDevice2, form->PortDevice3};
    for (int port = 0; port < 4; ++port) {
        const char* name = SerialLink::PortNames[static_cast<std::size_t>(port)];
        const std::string device = emulator.settings().devicePath(name);
        labels[port]->setText(
            QString("%1 %2 (%3)")
                .arg(name, QString::fromStdString(device), presence(deviceRoot, device)));
    }
    if (changed && ports->checkedId() >= 0) {
        const QString typed = form->DeviceChoice->currentText();
        showChoiceFor(ports->checkedId());
        form->DeviceChoice->setCurrentText(typed); // what the user typed or picked stays
    }
}

void TFRM_SerialPort::showChoiceFor(int port) {
    if (port < 0 || port >= 4)
        return;
    QComboBox* box = form->DeviceChoice;
    const std::string current =
        emulator.settings().devicePath(SerialLink::PortNames[static_cast<std::size_t>(port)]);
    box->clear();
    bool listed = false;
    for (const SerialDeviceInfo& d : found) {
        box->addItem(QString::fromStdString(d.description()), QString::fromStdString(d.path));
        listed = listed || d.path == current;
    }
    for (const auto& [text, entry] : VirtualChoices) {
        box->addItem(text, QString(entry));
        listed = listed || current == entry;
    }
    if (!listed)
        box->insertItem(0, QString::fromStdString(current), QString::fromStdString(current));
    box->setCurrentIndex(box->findData(QString::fromStdString(current)));
}

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
    refreshDevices();
    FormShow();
    showChoiceFor(ports->checkedId());
    rescan.start();
}

void TFRM_SerialPort::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        showing = false;
        rescan.stop();
    }
}

void TFRM_SerialPort::reject() { BTN_CANCELClick(); }

void TFRM_SerialPort::FormShow() { logic.FormShow(); }
void TFRM_SerialPort::BTN_OKClick() { logic.BTN_OKClick(); }
void TFRM_SerialPort::BTN_CANCELClick() { logic.BTN_CANCELClick(); }
