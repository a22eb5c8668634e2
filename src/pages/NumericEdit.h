#pragma once
#include "pages/SimulatorWindow.h"

class MessageBoxSeam;

// Reads an edit's text as a number in the user's locale. Text that is not a finite number is
// reported in a message box naming the text, and gives false; nothing else happens then.
bool ReadEditNumber(SimulatorWindow& window, MessageBoxSeam& messages, Control edit,
                    double& number);

// Writes a value into an edit with `decimals` decimals (the picture formats "#0.00", "###0.0",
// "###0" ...), using the user's decimal separator. A float is rounded on its own shortest
// text, so pass stored floats as floats.
void WriteEditNumber(SimulatorWindow& window, Control edit, float value, int decimals);
void WriteEditNumber(SimulatorWindow& window, Control edit, double value, int decimals);
