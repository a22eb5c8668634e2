#pragma once
#include <QDialog>
#include <memory>

#include "pages/CalibratePage.h"

class QButtonGroup;
class QLineEdit;
class QWidget;
class Emulator;

namespace Ui {
class TCalibrate;
}

// The Calibrate dialog: modeless, on top, hidden rather than closed. Every control event goes
// straight to CalibratePage.
class TCalibrate : public QDialog, public CalibrateWindow {
    Q_OBJECT
public:
    explicit TCalibrate(Emulator& emulator, QWidget* parent = nullptr);
    ~TCalibrate() override;

    Ui::TCalibrate& ui() { return *form; }
    // The radio group behind CourseGroup, HeadingGroup, TypeGroup or RadioOKbrightGroup.
    QButtonGroup* rows(CalibrateGroup group) const;

    // CalibrateWindow
    std::string text(CalibrateEdit edit) const override;
    void setText(CalibrateEdit edit, const std::string& text) override;
    void setEnabled(CalibrateControl control, bool enabled) override;
    bool isChecked(CalibrateCheckBox box) const override;
    void setChecked(CalibrateCheckBox box, bool checked) override;
    DimSource markedSource() const override;
    void markSource(DimSource source) override;
    int selectedRow(CalibrateGroup group) const override;
    void selectRow(CalibrateGroup group, int row) override;
    void setStayOnTop(bool onTop) override;
    void hideDialog() override;

public slots:
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
    // The close box and Escape only hide the dialog, as Done does.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QLineEdit* edit(CalibrateEdit which) const;

    std::unique_ptr<Ui::TCalibrate> form;
    CalibratePage logic;
    QButtonGroup* sources;
    QButtonGroup* courseRows;
    QButtonGroup* headingRows;
    QButtonGroup* typeRows;
    QButtonGroup* okBrightRows;
    bool showing = false;    // shown as far as the user is concerned
    bool reflagging = false; // hidden and shown again only to change the window flags
};
