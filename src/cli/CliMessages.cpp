#include "cli/CliMessages.h"

#include <ostream>

CliMessages::CliMessages(std::ostream& stream, const std::string& portName,
                         const std::string& device, const std::string& settingsFile)
    : err(stream) {
    if (!device.empty())
        wording.emplace_back("Can't open " + portName, "Can't open " + device + ":");
    std::string key = portName;
    if (!key.empty() && key.back() == ':')
        key.pop_back();
    wording.emplace_back("Choose one in Setup → Serial Port.",
                         "Give one with --port, or set " + key + "= in the [Devices] group of " +
                             settingsFile + ".");
    wording.emplace_back("choose another device in Setup → Serial Port.",
                         "give another with --port.");
    wording.emplace_back("or choose another port.", "or give another with --port.");
}

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
    for (const auto& [window, here] : wording)
        if (const auto at = lines.find(window); at != std::string::npos)
            lines.replace(at, window.size(), here);
    err << "tarrow-cli: " << lines << '\n' << std::flush;
    return buttons == MsgButtons::RetryCancel ? MsgResult::Cancel : MsgResult::Ok;
}
