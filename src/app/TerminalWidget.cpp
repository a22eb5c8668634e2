#include "app/TerminalWidget.h"

#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFrame>

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

TerminalWidget::TerminalWidget(QTextEdit* e, int height) : edit(e), lineHeight(height) {
    // Every line added and trimmed would stay on the undo stack, read-only or not: about 250
    // bytes a record, for as long as the program runs.
    edit->document()->setUndoRedoEnabled(false);
    setMargins();
}

void TerminalWidget::setMargins() {
    // Rows start at the top edge, so the pane's height holds exactly its lines; a little room
    // at the sides keeps the text off the window's edge.
    QTextFrame* root = edit->document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setTopMargin(0);
    format.setBottomMargin(0);
    format.setLeftMargin(SideMargin);
    format.setRightMargin(SideMargin);
    root->setFrameFormat(format);
}

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
    QTextBlockFormat row;
    row.setLineHeight(lineHeight, QTextBlockFormat::FixedHeight);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    if (lines == 0)
        cursor.setBlockFormat(row);
    else
        cursor.insertBlock(row);
    cursor.insertText(DisplayText(bytes));
    ++lines;
    edit->moveCursor(QTextCursor::End);
}

void TerminalWidget::clearLines() {
    edit->clear();
    setMargins();
    lines = 0;
}
