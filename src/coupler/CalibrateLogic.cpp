#include "coupler/CalibrateLogic.h"

#include <algorithm>
#include <array>

#include "emulator/MessageBoxSeam.h"
#include "settings/SettingsStore.h"
#include "coupler/NumberRules.h"
#include "serial/TransmitLine.h"

namespace {

constexpr std::int32_t LightSensorBit = 128;
constexpr std::int32_t ExternalVoltBit = 64;
constexpr const char* NotForOldCouplers = "Not Implimented for Coupliers shipped before 1/1/04";
constexpr const char* OnlyForCamlinks = "Not Implimented except for Camlinks";
constexpr const char* WarningCaption = "Warning";
constexpr const char* RegistryCaption = "error";

// printf's "%<width>d" without its locale: right-aligned, a longer number in full.
std::string rightAligned(std::int32_t value, std::size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width)
        s.insert(0, width - s.size(), ' ');
    return s;
}

// A level typed by the user as the dimming word: level plus one, held to 1..10.
std::int32_t wordForLevel(std::int32_t level) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{level} + 1, 1, 10));
}

bool isGainRow(int row) { return row >= 0 && row <= 3; }

// The four Camlink settings: box, field, upper bound and sentence, in handler order.
struct CamlinkSetting {
    CalibrateEdit box;
    std::int32_t EmulatorState::*setting;
    std::int32_t upper;
    CouplerCommand command;
};
constexpr std::array<CamlinkSetting, 4> CamlinkSettings{{
    {CalibrateEdit::EM_numbVP, &EmulatorState::virtualWaypoints, 20, CouplerCommand::Vwp},
    {CalibrateEdit::EM_anticipation, &EmulatorState::anticipation, 127, CouplerCommand::Adv},
    {CalibrateEdit::EM_maxAngle, &EmulatorState::maxAngle, 90, CouplerCommand::Mxa},
    {CalibrateEdit::EM_maxTime, &EmulatorState::maxTime, 20, CouplerCommand::Mxd},
}};

} // namespace

CalibrateLogic::CalibrateLogic(EmulatorState& s, CalibrateWindow& w, Transmitter& t,
                               MessageBoxSeam& m, SettingsStore& st)
    : state(s), window(w), transmitter(t), messages(m), settings(st) {}

bool CalibrateLogic::compatChecked() const {
    return window.isChecked(CalibrateCheckBox::CHKBOX_Compat);
}

void CalibrateLogic::send(CouplerCommand command, std::int32_t value) {
    const std::string sentence = BuildCouplerSentence(command, value, compatChecked());
    transmitter.TransmitLine(sentence.c_str(), 0);
}

void CalibrateLogic::warn(const char* message) {
    messages.show(message, WarningCaption, MsgIcon::Warning);
}

void CalibrateLogic::FormShow() {
    window.setText(CalibrateEdit::ED_Offset, rightAligned(state.offsetCounts, 5));

    const std::int32_t w = state.dimmingWord;
    if (w & LightSensorBit) {
        window.markSource(DimSource::BTN_sensor);
        window.setEnabled(CalibrateControl::ED_Dim, false);
        window.setEnabled(CalibrateControl::BTN_None, false);
    } else if (w & ExternalVoltBit) {
        window.markSource(DimSource::BTN_volt);
        window.setEnabled(CalibrateControl::ED_Dim, false);
        window.setEnabled(CalibrateControl::BTN_None, false);
    } else {
        window.markSource(DimSource::BTN_switch);
        window.setEnabled(CalibrateControl::BTN_None, true);
        if (w == 0) {
            window.setChecked(CalibrateCheckBox::BTN_None, true);
            window.setEnabled(CalibrateControl::ED_Dim, false);
        } else {
            // The level goes into the box before None is unchecked: a window that runs the
            // None handler on that change then reads this level, not a stale one.
            window.setEnabled(CalibrateControl::ED_Dim, true);
            window.setText(CalibrateEdit::ED_Dim, rightAligned(w - 1, 3));
            window.setChecked(CalibrateCheckBox::BTN_None, false);
        }
    }

    if (isGainRow(state.courseGainCode))
        window.selectRow(CalibrateGroup::CourseGroup, state.courseGainCode);
    if (isGainRow(state.headingGainCode))
        window.selectRow(CalibrateGroup::HeadingGroup, state.headingGainCode);
    const int typeRow = state.couplerType == 1 ? 1 : state.couplerType == 0 ? 0 : 2;
    window.selectRow(CalibrateGroup::TypeGroup, typeRow);

    preset = true;
    window.setChecked(CalibrateCheckBox::CHKBOX_Compat, state.compatibility);
    preset = false;
}

void CalibrateLogic::Offset_ApplyClick() {
    if (const auto n = ReadLeadingNumber(window.text(CalibrateEdit::ED_Offset)))
        state.offsetCounts = *n;
    window.setText(CalibrateEdit::ED_Offset, rightAligned(state.offsetCounts, 5));
    send(CouplerCommand::Cal, state.offsetCounts);
}

void CalibrateLogic::BTN_Dim_ApplyClick() {
    std::int32_t w = 0;
    switch (window.markedSource()) {
    case DimSource::BTN_sensor:
        w = LightSensorBit;
        break;
    case DimSource::BTN_volt:
        w = ExternalVoltBit;
        break;
    case DimSource::BTN_switch:
        if (window.isChecked(CalibrateCheckBox::BTN_None)) {
            w = 0;
        } else {
            const std::string typed = window.text(CalibrateEdit::ED_Dim);
            const auto n = ReadWholeNumber(typed);
            if (!n) {
                messages.show("'" + typed + "' is not a valid integer value", "", MsgIcon::Error);
                return;
            }
            w = wordForLevel(*n);
            window.setText(CalibrateEdit::ED_Dim, std::to_string(w - 1));
        }
        break;
    case DimSource::None:
        // Only before the first opening; there is no source to send.
        return;
    }
    state.dimmingWord = w;
    send(CouplerCommand::Dim, w);
}

void CalibrateLogic::BTN_NoneClick() {
    if (window.isChecked(CalibrateCheckBox::BTN_None)) {
        window.setEnabled(CalibrateControl::ED_Dim, false);
        state.dimmingWord = 0;
        return;
    }
    window.setEnabled(CalibrateControl::ED_Dim, true);
    if (const auto n = ReadLeadingNumber(window.text(CalibrateEdit::ED_Dim)))
        state.dimmingWord = wordForLevel(*n);
}

void CalibrateLogic::BTN_sensorClick() {
    if (window.markedSource() != DimSource::BTN_sensor)
        return;
    window.setEnabled(CalibrateControl::ED_Dim, false);
    window.setEnabled(CalibrateControl::BTN_None, false);
    state.dimmingWord |= LightSensorBit;
}

void CalibrateLogic::BTN_voltClick() {
    if (window.markedSource() != DimSource::BTN_volt)
        return;
    window.setEnabled(CalibrateControl::ED_Dim, false);
    window.setEnabled(CalibrateControl::BTN_None, false);
    state.dimmingWord = (state.dimmingWord | ExternalVoltBit) & ~LightSensorBit;
}

void CalibrateLogic::BTN_switchClick() {
    if (window.markedSource() != DimSource::BTN_switch)
        return;
    window.setEnabled(CalibrateControl::BTN_None, true);
    state.dimmingWord &= ~(LightSensorBit | ExternalVoltBit);
    window.setEnabled(CalibrateControl::ED_Dim, !window.isChecked(CalibrateCheckBox::BTN_None));
}

void CalibrateLogic::BTN_CGAIN_APPLYClick() {
    const int row = window.selectedRow(CalibrateGroup::CourseGroup);
    if (isGainRow(row))
        state.courseGainCode = static_cast<std::uint8_t>(row);
    send(CouplerCommand::Gan, row);
}

void CalibrateLogic::BTN_HGain_applyClick() {
    if (compatChecked()) {
        // Off top only while the box is up, so the warning cannot end up behind the dialog.
        window.setStayOnTop(false);
        warn(NotForOldCouplers);
        window.setStayOnTop(true);
        return;
    }
    const int row = window.selectedRow(CalibrateGroup::HeadingGroup);
    if (isGainRow(row))
        state.headingGainCode = static_cast<std::uint8_t>(row);
    send(CouplerCommand::Hgn, row);
}

void CalibrateLogic::BTN_Type_ApplyClick() {
    state.couplerType = window.selectedRow(CalibrateGroup::TypeGroup);
    send(CouplerCommand::Tst, state.couplerType);
}

void CalibrateLogic::BTN_OKDIM_APPLYClick() {
    if (compatChecked()) {
        warn(NotForOldCouplers);
        return;
    }
    send(CouplerCommand::Eqp, window.selectedRow(CalibrateGroup::RadioOKbrightGroup));
}

void CalibrateLogic::applyCamlink(std::size_t row) {
    const CamlinkSetting& camlink = CamlinkSettings[row];
    if (compatChecked()) {
        warn(OnlyForCamlinks);
        return;
    }
    std::int32_t& setting = state.*camlink.setting;
    if (const auto n = ReadLeadingNumber(window.text(camlink.box)))
        setting = *n;
    setting = std::clamp(setting, 0, camlink.upper);
    window.setText(camlink.box, rightAligned(setting, 2));
    send(camlink.command, setting);
}

void CalibrateLogic::BTN_numbWPClick() { applyCamlink(0); }
void CalibrateLogic::BTN_anticipationClick() { applyCamlink(1); }
void CalibrateLogic::BTN_maxAngleClick() { applyCamlink(2); }
void CalibrateLogic::BTN_maxTimeClick() { applyCamlink(3); }

void CalibrateLogic::CHKBOX_CompatClick() {
    if (preset)
        return;
    const bool checked = compatChecked();
    const SettingsStore::OpenResult opened = settings.open(false);
    if (opened != SettingsStore::OpenResult::Ok)
        messages.show(CantOpenMessage(opened), RegistryCaption, MsgIcon::Error);
    else if (!settings.writeInt("Compatibility", checked ? 1 : 0))
        messages.show("Can't write Compatibility", RegistryCaption, MsgIcon::Error);
    state.compatibility = checked;
}

void CalibrateLogic::BTN_DoneClick() { window.hideDialog(); }
