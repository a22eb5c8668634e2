#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class Coupler;
class MessageBoxSeam;
struct CommandResult;

// The boxes of the Calibrate dialog whose text the logic reads or writes.
enum class CalibrateEdit { ED_Offset, ED_Dim, EM_numbVP, EM_anticipation, EM_maxAngle, EM_maxTime };
// The controls the logic enables and disables.
enum class CalibrateControl { ED_Dim, BTN_None };
enum class CalibrateCheckBox { BTN_None, CHKBOX_Compat };
// The three exclusive source buttons of the Dim group; None: none of them is marked.
enum class DimSource { None, BTN_sensor, BTN_volt, BTN_switch };
enum class CalibrateGroup { CourseGroup, HeadingGroup, TypeGroup, RadioOKbrightGroup };

// What the Calibrate logic needs of its window.
class CalibrateWindow {
public:
    virtual ~CalibrateWindow() = default;
    virtual std::string text(CalibrateEdit edit) const = 0;
    virtual void setText(CalibrateEdit edit, const std::string& text) = 0;
    virtual void setEnabled(CalibrateControl control, bool enabled) = 0;
    virtual bool isChecked(CalibrateCheckBox box) const = 0;
    virtual void setChecked(CalibrateCheckBox box, bool checked) = 0;
    virtual DimSource markedSource() const = 0;
    virtual void markSource(DimSource source) = 0;
    // Row index of the group, -1 when no row is selected.
    virtual int selectedRow(CalibrateGroup group) const = 0;
    virtual void selectRow(CalibrateGroup group, int row) = 0;
    virtual void setStayOnTop(bool onTop) = 0;
    virtual void hideDialog() = 0;
};

// The handlers of the Calibrate dialog: they read the dialog's boxes by its two number rules,
// call the coupler's commands (one "$PZ" sentence per Apply) and show what was stored, or the
// warning a refused command gives.
class CalibratePage {
public:
    CalibratePage(Coupler& coupler, CalibrateWindow& window, MessageBoxSeam& messages);

    void FormShow();
    void Offset_ApplyClick();
    void BTN_Dim_ApplyClick();
    void BTN_NoneClick();
    void BTN_sensorClick();
    void BTN_voltClick();
    void BTN_switchClick();
    void BTN_CGAIN_APPLYClick();
    void BTN_HGain_applyClick();
    void BTN_Type_ApplyClick();
    void BTN_OKDIM_APPLYClick();
    void BTN_numbWPClick();
    void BTN_anticipationClick();
    void BTN_maxAngleClick();
    void BTN_maxTimeClick();
    void CHKBOX_CompatClick();
    void BTN_DoneClick();

    // True only while FormShow sets the Compatibility box.
    bool presetting() const { return preset; }

private:
    void applyCamlink(std::size_t row);
    // Shows the warning of a refused command; false then.
    bool sent(const CommandResult& result);

    Coupler& coupler;
    CalibrateWindow& window;
    MessageBoxSeam& messages;
    bool preset = false;
};
