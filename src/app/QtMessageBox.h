#pragma once
#include <QString>

#include "engine/MessageBoxSeam.h"

class QWidget;

// Message boxes on screen. An empty caption shows the application's title.
class QtMessageBox : public MessageBoxSeam {
public:
    MsgResult show(const std::string& text, const std::string& caption, MsgIcon icon,
                   MsgButtons buttons) override;
};
