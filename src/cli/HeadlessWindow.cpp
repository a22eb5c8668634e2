#include "cli/HeadlessWindow.h"

#include <charconv>

HeadlessWindow::HeadlessWindow() {
    enables.fill(true);
    for (Control c : {Control::GroupXTE, Control::GroupFormat})
        positions[at(c)] = -1; // radio groups: item index, none chosen yet
    // The form's initial texts, check marks and positions. (Whole strings are moved in: GCC 12
    // at -O2 misreads assigning a literal as an overlapping copy.)
    texts[at(Control::EB_Value)] = std::string("0");
    texts[at(Control::EB_Track)] = std::string("0.0");
    texts[at(Control::EB_Speed)] = std::string("150");
    checks[at(Control::BTN_Course)] = true;
    checks[at(Control::BTN_Heading)] = true;
    positions[at(Control::UpDown_lps)] = 25;
    positions[at(Control::UpDown_sec)] = 1;
    enables[at(Control::UpDown4)] = false;
}

std::string HeadlessWindow::text(Control edit) const { return texts[at(edit)]; }

void HeadlessWindow::setText(Control edit, const std::string& t) { texts[at(edit)] = t; }

bool HeadlessWindow::toNumber(const std::string& t, double& number) const {
    // As the window's edits: blanks around the number are allowed, grouping is not.
    const auto first = t.find_first_not_of(" \t");
    const auto last = t.find_last_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const char* begin = t.data() + first;
    const char* end = t.data() + last + 1;
    if (*begin == '+')
        ++begin;
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        return false;
    number = value;
    return true;
}

void HeadlessWindow::setEnabled(Control control, bool on) { enables[at(control)] = on; }

bool HeadlessWindow::enabled(Control control) const { return enables[at(control)]; }

bool HeadlessWindow::isChecked(Control checkBox) const { return checks[at(checkBox)]; }

void HeadlessWindow::setChecked(Control checkBox, bool checked) { checks[at(checkBox)] = checked; }

int HeadlessWindow::itemIndex(Control radioGroup) const { return positions[at(radioGroup)]; }

void HeadlessWindow::setItemIndex(Control radioGroup, int index) {
    const int items = radioGroup == Control::GroupXTE ? 4 : 3;
    if (index >= 0 && index < items) // as a button group: no such button, no change
        positions[at(radioGroup)] = index;
}

void HeadlessWindow::setPosition(Control upDown, int p) {
    // The File page's up-downs keep to their ranges, as the window's step buttons do.
    if (upDown == Control::UpDown_lps || upDown == Control::UpDown_sec) {
        if (p < 1)
            p = 1;
        if (p > 100)
            p = 100;
    }
    positions[at(upDown)] = p;
}

int HeadlessWindow::position(Control upDown) const { return positions[at(upDown)]; }
