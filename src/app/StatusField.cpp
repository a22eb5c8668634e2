#include "app/StatusField.h"

#include <QResizeEvent>
#include <algorithm>

void StatusField::setParts(const QString& h, const QString& m, const QString& t) {
    set(h, m, t, {});
}

void StatusField::setTexts(const QString& whole, const QString& s) { set(whole, {}, {}, s); }

void StatusField::set(const QString& h, const QString& m, const QString& t, const QString& s) {
    if (h == head && m == middle && t == tail && s == shorter)
        return;
    head = h;
    middle = m;
    tail = t;
    shorter = s;
    setToolTip(wholeText());
    updateGeometry();
    fit();
}

int StatusField::chrome() const {
    return QLabel::sizeHint().width() - fontMetrics().horizontalAdvance(text());
}

QSize StatusField::sizeHint() const {
    const QFontMetrics m = fontMetrics();
    int wanted = m.horizontalAdvance(wholeText());
    // A long middle asks for no more than a short device name, so that the fields around it
    // shorten their words before it loses more; the room left over is its stretch.
    if (!middle.isEmpty())
        wanted = std::min(wanted, m.horizontalAdvance(head + tail) + 16 * m.averageCharWidth());
    return {chrome() + wanted, QLabel::sizeHint().height()};
}

QSize StatusField::minimumSizeHint() const {
    const QFontMetrics m = fontMetrics();
    const int least = shorter.isEmpty() ? m.horizontalAdvance(head + QChar(0x2026) + tail)
                                        : m.horizontalAdvance(shorter);
    return {chrome() + least, QLabel::minimumSizeHint().height()};
}

void StatusField::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void StatusField::fit() {
    const QFontMetrics m = fontMetrics();
    const int room = width() - chrome();
    QString shown = wholeText();
    if (m.horizontalAdvance(shown) > room) {
        if (!shorter.isEmpty())
            shown = shorter;
        else
            shown = head +
                    m.elidedText(middle, Qt::ElideMiddle,
                                 std::max(0, room - m.horizontalAdvance(head + tail))) +
                    tail;
    }
    if (shown != text())
        setText(shown);
}
