#include "cli/HeadlessCalibrate.h"

namespace {
template <typename E> std::size_t at(E e) { return static_cast<std::size_t>(e); }
} // namespace

std::string HeadlessCalibrate::text(CalibrateEdit edit) const { return texts[at(edit)]; }

void HeadlessCalibrate::setText(CalibrateEdit edit, const std::string& t) { texts[at(edit)] = t; }

bool HeadlessCalibrate::isChecked(CalibrateCheckBox box) const { return checks[at(box)]; }

void HeadlessCalibrate::setChecked(CalibrateCheckBox box, bool checked) {
    checks[at(box)] = checked;
}

int HeadlessCalibrate::selectedRow(CalibrateGroup group) const { return rows[at(group)]; }

void HeadlessCalibrate::selectRow(CalibrateGroup group, int row) { rows[at(group)] = row; }

void ApplyCouplerRequest(CalibrateLogic& logic, HeadlessCalibrate& dialog,
                         const CouplerRequest& r) {
    const std::string number = std::to_string(r.value);
    switch (r.action) {
    case CouplerAction::Offset:
        dialog.setText(CalibrateEdit::ED_Offset, number);
        logic.Offset_ApplyClick();
        break;
    case CouplerAction::Dim:
        if (r.value == DimSensor) {
            dialog.markSource(DimSource::BTN_sensor);
            logic.BTN_sensorClick();
        } else if (r.value == DimVolt) {
            dialog.markSource(DimSource::BTN_volt);
            logic.BTN_voltClick();
        } else {
            dialog.markSource(DimSource::BTN_switch);
            logic.BTN_switchClick();
            if (r.value != DimNone)
                dialog.setText(CalibrateEdit::ED_Dim, number);
            dialog.setChecked(CalibrateCheckBox::BTN_None, r.value == DimNone);
            logic.BTN_NoneClick();
        }
        logic.BTN_Dim_ApplyClick();
        break;
    case CouplerAction::CourseGain:
        dialog.selectRow(CalibrateGroup::CourseGroup, r.value);
        logic.BTN_CGAIN_APPLYClick();
        break;
    case CouplerAction::HeadingGain:
        dialog.selectRow(CalibrateGroup::HeadingGroup, r.value);
        logic.BTN_HGain_applyClick();
        break;
    case CouplerAction::Type:
        dialog.selectRow(CalibrateGroup::TypeGroup, r.value);
        logic.BTN_Type_ApplyClick();
        break;
    case CouplerAction::Brightness:
        dialog.selectRow(CalibrateGroup::RadioOKbrightGroup, r.value);
        logic.BTN_OKDIM_APPLYClick();
        break;
    case CouplerAction::VirtualWaypoints:
        dialog.setText(CalibrateEdit::EM_numbVP, number);
        logic.BTN_numbWPClick();
        break;
    case CouplerAction::Anticipation:
        dialog.setText(CalibrateEdit::EM_anticipation, number);
        logic.BTN_anticipationClick();
        break;
    case CouplerAction::MaxAngle:
        dialog.setText(CalibrateEdit::EM_maxAngle, number);
        logic.BTN_maxAngleClick();
        break;
    case CouplerAction::MaxTime:
        dialog.setText(CalibrateEdit::EM_maxTime, number);
        logic.BTN_maxTimeClick();
        break;
    }
}
