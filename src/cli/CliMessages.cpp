#include "cli/CliMessages.h"

#include <ostream>

MsgResult CliMessages::show(const std::string& text, const std::string&, MsgIcon icon,
                            MsgButtons buttons) {
    ++shown;
    if (icon == MsgIcon::Warning || icon == MsgIcon::Error)
        ++warnings;
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        lines += text[i];
    }
    err << "tarrow-cli: " << lines << '\n' << std::flush;
    return buttons == MsgButtons::RetryCancel ? MsgResult::Cancel : MsgResult::Ok;
}
