#include "pages/CalibratePage.h"

#include <array>

#include "engine/Coupler.h"
#include "engine/MessageBoxSeam.h"
#include "pages/NumberRules.h"

namespace {

// printf's "%<width>d" without its locale: right-aligned, a longer number in full.
std::string rightAligned(std::int32_t value, std::size_t width) {
    std::string s = std::to_string(value);
    if (s.size() < width)
        s.insert(0, width - s.size(), ' ');
    return s;
}

bool isGainRow(int row) { return row >= 0 && row <= 3; }

// The four Camlink boxes with their settings, in handler order.
struct CamlinkBox {
    CalibrateEdit box;
    Camlink setting;
    std::int32_t CouplerSettings::*stored;
};
constexpr std::array<CamlinkBox, 4> CamlinkBoxes{{
    {CalibrateEdit::EM_numbVP, Camlink::VirtualWaypoints, &CouplerSettings::virtualWaypoints},
    {CalibrateEdit::EM_anticipation, Camlink::Anticipation, &CouplerSettings::anticipation},
    {CalibrateEdit::EM_maxAngle, Camlink::MaxAngle, &CouplerSettings::maxAngle},
    {CalibrateEdit::EM_maxTime, Camlink::MaxTime, &CouplerSettings::maxTime},
}};

} // namespace

CalibratePage::CalibratePage(Coupler& c, CalibrateWindow& w, MessageBoxSeam& m)
    : coupler(c), window(w), messages(m) {}

bool CalibratePage::sent(const CommandResult& result) {
    if (!result.ok)
        messages.show(result.text, result.caption, MsgIcon::Warning);
    return result.ok;
}

void CalibratePage::FormShow() {
    const CouplerSettings& s = coupler.settings();
    window.setText(CalibrateEdit::ED_Offset, rightAligned(s.offsetCounts, 5));

    const std::int32_t w = s.dimmingWord;
    if (w & Coupler::LightSensorBit) {
        window.markSource(DimSource::BTN_sensor);
        window.setEnabled(CalibrateControl::ED_Dim, false);
        window.setEnabled(CalibrateControl::BTN_None, false);
    } else if (w & Coupler::ExternalVoltBit) {
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

    if (isGainRow(s.courseGainCode))
        window.selectRow(CalibrateGroup::CourseGroup, s.courseGainCode);
    if (isGainRow(s.headingGainCode))
        window.selectRow(CalibrateGroup::HeadingGroup, s.headingGainCode);
    const int typeRow = s.couplerType == 1 ? 1 : s.couplerType == 0 ? 0 : 2;
    window.selectRow(CalibrateGroup::TypeGroup, typeRow);

    preset = true;
    window.setChecked(CalibrateCheckBox::CHKBOX_Compat, s.compatibility);
    preset = false;
}

void CalibratePage::Offset_ApplyClick() {
    const auto n = ReadLeadingNumber(window.text(CalibrateEdit::ED_Offset));
    // Without a number the stored offset is shown and sent again.
    coupler.sendOffset(n.value_or(coupler.settings().offsetCounts));
    window.setText(CalibrateEdit::ED_Offset, rightAligned(coupler.settings().offsetCounts, 5));
}

void CalibratePage::BTN_Dim_ApplyClick() {
    switch (window.markedSource()) {
    case DimSource::BTN_sensor:
        coupler.sendDimming(DimChoice::Sensor);
        break;
    case DimSource::BTN_volt:
        coupler.sendDimming(DimChoice::Volt);
        break;
    case DimSource::BTN_switch:
        if (window.isChecked(CalibrateCheckBox::BTN_None)) {
            coupler.sendDimming(DimChoice::None);
        } else {
            const std::string typed = window.text(CalibrateEdit::ED_Dim);
            const auto n = ReadWholeNumber(typed);
            if (!n) {
                messages.show("'" + typed + "' is not a valid integer value", "", MsgIcon::Error);
                return;
            }
            coupler.sendDimming(DimChoice::Level, *n);
            window.setText(CalibrateEdit::ED_Dim,
                           std::to_string(coupler.settings().dimmingWord - 1));
        }
        break;
    case DimSource::None:
        // Only before the first opening; there is no source to send.
        break;
    }
}

void CalibratePage::BTN_NoneClick() {
    if (window.isChecked(CalibrateCheckBox::BTN_None)) {
        window.setEnabled(CalibrateControl::ED_Dim, false);
        coupler.setDimmingWord(0);
        return;
    }
    window.setEnabled(CalibrateControl::ED_Dim, true);
    if (const auto n = ReadLeadingNumber(window.text(CalibrateEdit::ED_Dim)))
        coupler.setDimmingWord(Coupler::WordForLevel(*n));
}

void CalibratePage::BTN_sensorClick() {
    if (window.markedSource() != DimSource::BTN_sensor)
        return;
    window.setEnabled(CalibrateControl::ED_Dim, false);
    window.setEnabled(CalibrateControl::BTN_None, false);
    coupler.setDimmingWord(coupler.settings().dimmingWord | Coupler::LightSensorBit);
}

void CalibratePage::BTN_voltClick() {
    if (window.markedSource() != DimSource::BTN_volt)
        return;
    window.setEnabled(CalibrateControl::ED_Dim, false);
    window.setEnabled(CalibrateControl::BTN_None, false);
    coupler.setDimmingWord((coupler.settings().dimmingWord | Coupler::ExternalVoltBit) &
                           ~Coupler::LightSensorBit);
}

void CalibratePage::BTN_switchClick() {
    if (window.markedSource() != DimSource::BTN_switch)
        return;
    window.setEnabled(CalibrateControl::BTN_None, true);
    coupler.setDimmingWord(coupler.settings().dimmingWord &
                           ~(Coupler::LightSensorBit | Coupler::ExternalVoltBit));
    window.setEnabled(CalibrateControl::ED_Dim, !window.isChecked(CalibrateCheckBox::BTN_None));
}

void CalibratePage::BTN_CGAIN_APPLYClick() {
    coupler.sendCourseGain(window.selectedRow(CalibrateGroup::CourseGroup));
}

void CalibratePage::BTN_HGain_applyClick() {
    const CommandResult result =
        coupler.sendHeadingGain(window.selectedRow(CalibrateGroup::HeadingGroup));
    if (result.ok)
        return;
    // Off top only while the box is up, so the warning cannot end up behind the dialog.
    window.setStayOnTop(false);
    sent(result);
    window.setStayOnTop(true);
}

void CalibratePage::BTN_Type_ApplyClick() {
    coupler.sendType(window.selectedRow(CalibrateGroup::TypeGroup));
}

void CalibratePage::BTN_OKDIM_APPLYClick() {
    sent(coupler.sendBrightness(window.selectedRow(CalibrateGroup::RadioOKbrightGroup)));
}

void CalibratePage::applyCamlink(std::size_t row) {
    const CamlinkBox& camlink = CamlinkBoxes[row];
    // Without a number the stored setting is applied again.
    const auto n = ReadLeadingNumber(window.text(camlink.box));
    if (sent(coupler.sendCamlink(camlink.setting, n.value_or(coupler.settings().*camlink.stored))))
        window.setText(camlink.box, rightAligned(coupler.settings().*camlink.stored, 2));
}

void CalibratePage::BTN_numbWPClick() { applyCamlink(0); }
void CalibratePage::BTN_anticipationClick() { applyCamlink(1); }
void CalibratePage::BTN_maxAngleClick() { applyCamlink(2); }
void CalibratePage::BTN_maxTimeClick() { applyCamlink(3); }

void CalibratePage::CHKBOX_CompatClick() {
    if (preset)
        return;
    coupler.setCompatibility(window.isChecked(CalibrateCheckBox::CHKBOX_Compat), true);
}

void CalibratePage::BTN_DoneClick() { window.hideDialog(); }
