#include "app/CalibrateDialog.h"

#include <QButtonGroup>
#include <QHideEvent>
#include <QRegularExpressionValidator>
#include <QShowEvent>

#include "app/WidgetHelpers.h"
#include "engine/Emulator.h"
#include "ui_CalibrateDialog.h"

TCalibrate::TCalibrate(Emulator& emulator, QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::TCalibrate>()),
      logic(emulator.coupler(), *this, emulator.messages()) {
    form->setupUi(this);
    Ui::TCalibrate& ui = *form;
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    FitFormToFont(*this);
    CentreOnDesktop(*this);

    // The ids are the DimSource values, so the checked id is the marked source.
    sources = MakeButtonGroup(this, "DimSourceButtons", {ui.BTN_sensor, ui.BTN_volt, ui.BTN_switch},
                              static_cast<int>(DimSource::BTN_sensor));
    courseRows = MakeButtonGroup(this, "CourseGroupButtons",
                                 {ui.CourseRow0, ui.CourseRow1, ui.CourseRow2, ui.CourseRow3});
    headingRows = MakeButtonGroup(this, "HeadingGroupButtons",
                                  {ui.HeadingRow0, ui.HeadingRow1, ui.HeadingRow2, ui.HeadingRow3});
    typeRows = MakeButtonGroup(this, "TypeGroupButtons", {ui.TypeRow0, ui.TypeRow1, ui.TypeRow2});
    okBrightRows =
        MakeButtonGroup(this, "RadioOKbrightGroupButtons", {ui.OKbrightRow0, ui.OKbrightRow1});

    // The masked boxes take digits and signs only; the length is their maxLength.
    const QRegularExpression digitsAndSigns(QStringLiteral("[0-9+-]*"));
    for (QLineEdit* e : {ui.EM_numbVP, ui.EM_anticipation, ui.EM_maxAngle, ui.EM_maxTime})
        e->setValidator(new QRegularExpressionValidator(digitsAndSigns, e));

    connect(ui.Offset_Apply, &QPushButton::clicked, this, &TCalibrate::Offset_ApplyClick);
    connect(ui.BTN_Dim_Apply, &QPushButton::clicked, this, &TCalibrate::BTN_Dim_ApplyClick);
    // State changes made by code run the handlers too; the logic gives the same outcome.
    connect(ui.BTN_None, &QCheckBox::toggled, this, &TCalibrate::BTN_NoneClick);
    connect(ui.BTN_sensor, &QRadioButton::toggled, this, &TCalibrate::BTN_sensorClick);
    connect(ui.BTN_volt, &QRadioButton::toggled, this, &TCalibrate::BTN_voltClick);
    connect(ui.BTN_switch, &QRadioButton::toggled, this, &TCalibrate::BTN_switchClick);
    connect(ui.BTN_CGAIN_APPLY, &QPushButton::clicked, this, &TCalibrate::BTN_CGAIN_APPLYClick);
    connect(ui.BTN_HGain_apply, &QPushButton::clicked, this, &TCalibrate::BTN_HGain_applyClick);
    connect(ui.BTN_Type_Apply, &QPushButton::clicked, this, &TCalibrate::BTN_Type_ApplyClick);
    connect(ui.BTN_OKDIM_APPLY, &QPushButton::clicked, this, &TCalibrate::BTN_OKDIM_APPLYClick);
    connect(ui.BTN_numbWP, &QPushButton::clicked, this, &TCalibrate::BTN_numbWPClick);
    connect(ui.BTN_anticipation, &QPushButton::clicked, this, &TCalibrate::BTN_anticipationClick);
    connect(ui.BTN_maxAngle, &QPushButton::clicked, this, &TCalibrate::BTN_maxAngleClick);
    connect(ui.BTN_maxTime, &QPushButton::clicked, this, &TCalibrate::BTN_maxTimeClick);
    connect(ui.CHKBOX_Compat, &QCheckBox::toggled, this, &TCalibrate::CHKBOX_CompatClick);
    connect(ui.BTN_Done, &QPushButton::clicked, this, &TCalibrate::BTN_DoneClick);
}

TCalibrate::~TCalibrate() = default;

QButtonGroup* TCalibrate::rows(CalibrateGroup group) const {
    switch (group) {
    case CalibrateGroup::CourseGroup:
        return courseRows;
    case CalibrateGroup::HeadingGroup:
        return headingRows;
    case CalibrateGroup::TypeGroup:
        return typeRows;
    case CalibrateGroup::RadioOKbrightGroup:
        return okBrightRows;
    }
    return courseRows;
}

QLineEdit* TCalibrate::edit(CalibrateEdit which) const {
    switch (which) {
    case CalibrateEdit::ED_Offset:
        return form->ED_Offset;
    case CalibrateEdit::ED_Dim:
        return form->ED_Dim;
    case CalibrateEdit::EM_numbVP:
        return form->EM_numbVP;
    case CalibrateEdit::EM_anticipation:
        return form->EM_anticipation;
    case CalibrateEdit::EM_maxAngle:
        return form->EM_maxAngle;
    case CalibrateEdit::EM_maxTime:
        return form->EM_maxTime;
    }
    return form->ED_Offset;
}

std::string TCalibrate::text(CalibrateEdit which) const {
    return edit(which)->text().toStdString();
}

void TCalibrate::setText(CalibrateEdit which, const std::string& text) {
    edit(which)->setText(QString::fromStdString(text));
}

void TCalibrate::setEnabled(CalibrateControl control, bool enabled) {
    QWidget* w = control == CalibrateControl::ED_Dim ? static_cast<QWidget*>(form->ED_Dim)
                                                     : static_cast<QWidget*>(form->BTN_None);
    w->setEnabled(enabled);
}

bool TCalibrate::isChecked(CalibrateCheckBox box) const {
    return box == CalibrateCheckBox::BTN_None ? form->BTN_None->isChecked()
                                              : form->CHKBOX_Compat->isChecked();
}

void TCalibrate::setChecked(CalibrateCheckBox box, bool checked) {
    (box == CalibrateCheckBox::BTN_None ? form->BTN_None : form->CHKBOX_Compat)
        ->setChecked(checked);
}

DimSource TCalibrate::markedSource() const {
    const int id = sources->checkedId();
    return id < 0 ? DimSource::None : static_cast<DimSource>(id);
}

void TCalibrate::markSource(DimSource source) {
    if (QAbstractButton* b = sources->button(static_cast<int>(source))) {
        b->setChecked(true);
        return;
    }
    // An exclusive group will not uncheck its last button.
    sources->setExclusive(false);
    for (QAbstractButton* b : sources->buttons())
        b->setChecked(false);
    sources->setExclusive(true);
}

int TCalibrate::selectedRow(CalibrateGroup group) const { return rows(group)->checkedId(); }

void TCalibrate::selectRow(CalibrateGroup group, int row) {
    if (QAbstractButton* b = rows(group)->button(row))
        b->setChecked(true);
}

void TCalibrate::setStayOnTop(bool onTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    // Changing a window flag hides the window; to the user it stays open throughout.
    const bool wasVisible = isVisible();
    reflagging = true;
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible) {
        show();
        raise();
    }
    reflagging = false;
}

void TCalibrate::hideDialog() { hide(); }

void TCalibrate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (showing || reflagging)
        return;
    showing = true;
    FormShow();
}

void TCalibrate::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A spontaneous hide is the window being minimised: the dialog is still open.
    if (!event->spontaneous() && !reflagging)
        showing = false;
}

void TCalibrate::reject() { BTN_DoneClick(); }

void TCalibrate::FormShow() { logic.FormShow(); }
void TCalibrate::Offset_ApplyClick() { logic.Offset_ApplyClick(); }
void TCalibrate::BTN_Dim_ApplyClick() { logic.BTN_Dim_ApplyClick(); }
void TCalibrate::BTN_NoneClick() { logic.BTN_NoneClick(); }
void TCalibrate::BTN_sensorClick() { logic.BTN_sensorClick(); }
void TCalibrate::BTN_voltClick() { logic.BTN_voltClick(); }
void TCalibrate::BTN_switchClick() { logic.BTN_switchClick(); }
void TCalibrate::BTN_CGAIN_APPLYClick() { logic.BTN_CGAIN_APPLYClick(); }
void TCalibrate::BTN_HGain_applyClick() { logic.BTN_HGain_applyClick(); }
void TCalibrate::BTN_Type_ApplyClick() { logic.BTN_Type_ApplyClick(); }
void TCalibrate::BTN_OKDIM_APPLYClick() { logic.BTN_OKDIM_APPLYClick(); }
void TCalibrate::BTN_numbWPClick() { logic.BTN_numbWPClick(); }
void TCalibrate::BTN_anticipationClick() { logic.BTN_anticipationClick(); }
void TCalibrate::BTN_maxAngleClick() { logic.BTN_maxAngleClick(); }
void TCalibrate::BTN_maxTimeClick() { logic.BTN_maxTimeClick(); }
void TCalibrate::CHKBOX_CompatClick() { logic.CHKBOX_CompatClick(); }
void TCalibrate::BTN_DoneClick() { logic.BTN_DoneClick(); }
