#include "app/QtSimulatorWindow.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>

#include "app/StepButtons.h"

QtSimulatorWindow::QtSimulatorWindow(QWidget& mainWindow) {
    for (int i = 0; i < ControlCount; ++i)
        widgets[static_cast<std::size_t>(i)] = mainWindow.findChild<QWidget*>(
            QString::fromLatin1(ControlName(static_cast<Control>(i))));
}

std::string QtSimulatorWindow::text(Control edit) const {
    const auto* e = qobject_cast<QLineEdit*>(widget(edit));
    return e ? e->text().toStdString() : std::string();
}

void QtSimulatorWindow::setText(Control edit, const std::string& text) {
    if (auto* e = qobject_cast<QLineEdit*>(widget(edit)))
        e->setText(QString::fromStdString(text));
}

void QtSimulatorWindow::selectAll(Control edit) {
    if (auto* e = qobject_cast<QLineEdit*>(widget(edit)))
        e->selectAll();
}

bool QtSimulatorWindow::toNumber(const std::string& text, double& number) const {
    // Digit grouping is not a number format an edit accepts: "1.500" in German is no 1500.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = locale.toDouble(QString::fromStdString(text).trimmed(), &ok);
    if (ok)
        number = value;
    return ok;
}

std::string QtSimulatorWindow::decimalSeparator() const {
    return QLocale().decimalPoint().toStdString();
}

void QtSimulatorWindow::setEnabled(Control control, bool enabled) {
    if (QWidget* w = widget(control))
        w->setEnabled(enabled);
}

void QtSimulatorWindow::setFocus(Control control) {
    if (QWidget* w = widget(control)) {
        // A radio group takes the focus on its selected item, as a keyboard user expects.
        if (auto* group = w->findChild<QButtonGroup*>(); group && group->checkedButton())
            group->checkedButton()->setFocus(Qt::OtherFocusReason);
        else
            w->setFocus(Qt::OtherFocusReason);
    }
}

bool QtSimulatorWindow::isChecked(Control checkBox) const {
    const auto* b = qobject_cast<QAbstractButton*>(widget(checkBox));
    return b && b->isChecked();
}

int QtSimulatorWindow::itemIndex(Control radioGroup) const {
    QWidget* w = widget(radioGroup);
    const auto* group = w ? w->findChild<QButtonGroup*>() : nullptr;
    return group ? group->checkedId() : -1;
}

void QtSimulatorWindow::setItemIndex(Control radioGroup, int index) {
    QWidget* w = widget(radioGroup);
    auto* group = w ? w->findChild<QButtonGroup*>() : nullptr;
    if (!group)
        return;
    if (QAbstractButton* b = group->button(index))
        b->setChecked(true); // a programmatic check raises no click
}

void QtSimulatorWindow::setPosition(Control upDown, int position) {
    if (auto* s = qobject_cast<StepButtons*>(widget(upDown)))
        s->setPosition(position);
}
