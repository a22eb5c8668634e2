#pragma once
#include <iosfwd>
#include <string>

#include "engine/MessageBoxSeam.h"

// Message boxes on standard error: the text, one line per line of the box. Boxes that ask
// are answered Cancel, since nobody is there to retry.
class CliMessages : public MessageBoxSeam {
public:
    explicit CliMessages(std::ostream& stream) : err(stream) {}
    MsgResult show(const std::string& text, const std::string& caption, MsgIcon icon,
                   MsgButtons buttons) override;

    int shown = 0;
    int warnings = 0; // warnings and errors

private:
    std::ostream& err;
};
