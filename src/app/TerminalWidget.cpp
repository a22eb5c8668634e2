#include "app/TerminalWidget.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

// Control bytes would break a record into several text lines; show them as the Unicode
// control pictures instead (STX as U+2402, CR as U+240D) so a record stays one line.
QString TerminalWidget::DisplayText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20)
            text.append(QChar(0x2400 + b));
        else if (b == 0x7f)
            text.append(QChar(0x2421));
        else
            text.append(QChar(b)); // Latin-1 for the upper half
    }
    return text;
}

TerminalWidget::TerminalWidget(QPlainTextEdit* e) : edit(e) {}

void TerminalWidget::removeFirstLine() {
    if (lines <= 0)
        return;
    if (lines == 1) {
        clearLines();
        return;
    }
    QTextCursor cursor(edit->document()->firstBlock());
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    --lines;
}

void TerminalWidget::appendLine(std::string_view bytes) {
    if (lines == 0)
        edit->setPlainText(DisplayText(bytes));
    else
        edit->appendPlainText(DisplayText(bytes));
    ++lines;
    edit->moveCursor(QTextCursor::End);
}

void TerminalWidget::clearLines() {
    edit->clear();
    lines = 0;
}
