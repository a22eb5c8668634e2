#pragma once
#include <string>

enum class MsgIcon { None, Information, Warning, Error };
enum class MsgButtons { Ok, RetryCancel };
enum class MsgResult { Ok, Retry, Cancel };

// Modal message boxes, so the logic can report without the window system and tests can
// answer the boxes. An empty caption means the program's default caption.
class MessageBoxSeam {
public:
    virtual ~MessageBoxSeam() = default;
    virtual MsgResult show(const std::string& text, const std::string& caption,
                           MsgIcon icon = MsgIcon::None, MsgButtons buttons = MsgButtons::Ok) = 0;
};
