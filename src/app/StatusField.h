#pragma once
#include <QLabel>

// A status bar field that gives way without cutting a word: narrower than its whole text, it
// shows the middle elided (a device path) or a shorter text; the tool tip holds the whole.
class StatusField : public QLabel {
public:
    explicit StatusField(QWidget* parent) : QLabel(parent) {}

    // head + middle + tail; only the middle is elided.
    void setParts(const QString& head, const QString& middle, const QString& tail);
    // `whole`, or `shorter` when that does not fit.
    void setTexts(const QString& whole, const QString& shorter);
    QString wholeText() const { return head + middle + tail; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void set(const QString& h, const QString& m, const QString& t, const QString& s);
    int chrome() const; // the width around the text: margins, padding, frame
    void fit();

    QString head, middle, tail, shorter;
};
