#pragma once
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "engine/MessageBoxSeam.h"

// Message boxes on standard error: the text, one line per line of the box. Boxes that ask
// are answered Cancel, since nobody is there to retry. The window's advice points at its
// dialogs; here it points at --port and the settings file, and a device given with --port is
// named as given rather than as the COM port it stands in for.
class CliMessages : public MessageBoxSeam {
public:
    // `portName` "COM1:"; `device` what --port gave, empty for a COM port; `settingsFile` the
    // file whose [Devices] group maps the COM ports.
    CliMessages(std::ostream& stream, const std::string& portName, const std::string& device,
                const std::string& settingsFile);
    MsgResult show(const std::string& text, const std::string& caption, MsgIcon icon,
                   MsgButtons buttons) override;

    int shown = 0;
    int warnings = 0; // warnings and errors

private:
    std::ostream& err;
    std::vector<std::pair<std::string, std::string>> wording; // the window's, the command line's
};
