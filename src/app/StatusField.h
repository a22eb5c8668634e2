#pragma once
#include <QLabel>

// A status bar field that gives way without cutting a word: a device's path elided in its
// middle (the port's name and state stay), or a shorter text when the window says so. The
// tool tip holds the whole text.
class StatusField : public QLabel {
public:
    explicit StatusField(QWidget* parent) : QLabel(parent) {}

    // head + middle + tail; only the middle is elided, to the width the field gets.
    void setParts(const QString& head, const QString& middle, const QString& tail);
    // `whole`, or `shorter` while setShort(true) (a middle may then shrink to an ellipsis).
    void setTexts(const QString& whole, const QString& shorter);
    void setShort(bool on);
    QString wholeText() const { return head + middle + tail; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void set(const QString& h, const QString& m, const QString& t, const QString& s);
    int chrome() const; // the width around the text: margins, padding, frame
    QString chosen() const { return isShort && !shorter.isEmpty() ? shorter : wholeText(); }
    void fit();

    QString head, middle, tail, shorter;
    bool isShort = false;
};
