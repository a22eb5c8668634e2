#pragma once
#include <array>
#include <string>

#include "cli/CliOptions.h"
#include "coupler/CalibrateLogic.h"

// The Calibrate dialog's boxes and groups as plain values.
class HeadlessCalibrate : public CalibrateWindow {
public:
    std::string text(CalibrateEdit edit) const override;
    void setText(CalibrateEdit edit, const std::string& text) override;
    void setEnabled(CalibrateControl, bool) override {}
    bool isChecked(CalibrateCheckBox box) const override;
    void setChecked(CalibrateCheckBox box, bool checked) override;
    DimSource markedSource() const override { return source; }
    void markSource(DimSource s) override { source = s; }
    int selectedRow(CalibrateGroup group) const override;
    void selectRow(CalibrateGroup group, int row) override;
    void setStayOnTop(bool) override {}
    void hideDialog() override {}

private:
    std::array<std::string, 6> texts{};
    std::array<bool, 2> checks{};
    std::array<int, 4> rows{-1, -1, -1, 0};
    DimSource source = DimSource::None;
};

// Makes the choice in the dialog and presses its Apply button, as a user would: the
// dialog's own rules decide the sentence, or refuse it with its warning.
void ApplyCouplerRequest(CalibrateLogic& logic, HeadlessCalibrate& dialog,
                         const CouplerRequest& request);
