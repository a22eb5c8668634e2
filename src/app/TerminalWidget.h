#pragma once
#include <QString>

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

    // A record as the terminal shows it: one line, control bytes as their pictures.
    static QString DisplayText(std::string_view bytes);

private:
    QPlainTextEdit* edit;
    int lines = 0;
};
