#pragma once
#include <QWidget>

class QToolButton;

// An up-down pair of small arrow buttons. It keeps a position within [minimum, maximum]
// (no wrap) and reports every click with its direction; a click at a limit still reports.
class StepButtons : public QWidget {
    Q_OBJECT
public:
    explicit StepButtons(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int position() const { return pos; }
    void setPosition(int value);
    int minimum() const { return lo; }
    int maximum() const { return hi; }

    QToolButton* upButton() const { return up; }
    QToolButton* downButton() const { return down; }

signals:
    void clicked(bool upward);

private:
    void step(bool upward);

    QToolButton* up;
    QToolButton* down;
    int lo = -32000;
    int hi = 32000;
    int pos = 0;
};
