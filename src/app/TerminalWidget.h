#pragma once
#include <QString>

#include "engine/TerminalLog.h"

class QTextEdit;

// The terminal pane behind TerminalLog: one text block per record, rows exactly `lineHeight`
// pixels apart, so the lines the log keeps are the lines the pane shows.
class TerminalWidget : public TerminalView {
public:
    TerminalWidget(QTextEdit* edit, int lineHeight);

    int lineCount() const override { return lines; }
    void removeFirstLine() override;
    void appendLine(std::string_view bytes) override;
    void clearLines() override;

    // Room left and right of the rows, in pixels.
    static constexpr int SideMargin = 3;

    // A record as the terminal shows it: one line, control bytes as their pictures.
    static QString DisplayText(std::string_view bytes);

private:
    void setMargins();

    QTextEdit* edit;
    int lineHeight;
    int lines = 0;
};
