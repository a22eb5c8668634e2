#include "pages/NumericEdit.h"

#include <cmath>

#include "engine/MessageBoxSeam.h"
#include "formats/NumberText.h"

namespace {
void writeLocal(SimulatorWindow& window, Control edit, std::string text) {
    const std::string separator = window.decimalSeparator();
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, separator);
    window.setText(edit, text);
}
} // namespace

bool ReadEditNumber(SimulatorWindow& window, MessageBoxSeam& messages, Control edit,
                    double& number) {
    const std::string text = window.text(edit);
    double value = 0.0;
    // An infinity or NaN from the conversion cannot be clamped or wrapped meaningfully.
    if (!window.toNumber(text, value) || !std::isfinite(value)) {
        messages.show("'" + text + "' is not a valid floating point value", "", MsgIcon::Error);
        return false;
    }
    number = value;
    return true;
}

void WriteEditNumber(SimulatorWindow& window, Control edit, float value, int decimals) {
    writeLocal(window, edit, FormatPicture(value, decimals));
}

void WriteEditNumber(SimulatorWindow& window, Control edit, double value, int decimals) {
    writeLocal(window, edit, FormatPicture(value, decimals));
}
