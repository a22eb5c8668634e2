#pragma once
#include "serial/TerminalLog.h"

class QPlainTextEdit;

// The terminal pane behind TerminalLog: one text block per record.
class TerminalWidget : public TerminalView {
public:
    explicit TerminalWidget(QPlainTextEdit* edit);

    int lineCount() const override { return lines; }
    void removeFirstLine() override;
    void appendLine(std::string_view bytes) override;
    void clearLines() override;

private:
    QPlainTextEdit* edit;
    int lines = 0;
};
