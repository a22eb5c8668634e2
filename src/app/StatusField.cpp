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

void StatusField::setShort(bool on) {
    if (on == isShort)
        return;
    isShort = on;
    updateGeometry();
    fit();
}

int StatusField::chrome() const {
    return QLabel::sizeHint().width() - fontMetrics().horizontalAdvance(text());
}

QSize StatusField::sizeHint() const {
    return {chrome() + fontMetrics().horizontalAdvance(chosen()), QLabel::sizeHint().height()};
}

QSize StatusField::minimumSizeHint() const {
    if (middle.isEmpty())
        return sizeHint();
    // At least the name, the state and a few characters of each end of the device; short,
    // an ellipsis between the name and the state.
    const QFontMetrics m = fontMetrics();
    const int least =
        std::min(m.horizontalAdvance(wholeText()),
                 isShort ? m.horizontalAdvance(head + QChar(0x2026) + tail)
                         : m.horizontalAdvance(head + tail) + 8 * m.averageCharWidth());
    return {chrome() + least, QLabel::minimumSizeHint().height()};
}

void StatusField::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void StatusField::fit() {
    QString shown = chosen();
    const QFontMetrics m = fontMetrics();
    const int room = width() - chrome();
    if (!middle.isEmpty() && m.horizontalAdvance(shown) > room)
        shown = head +
                m.elidedText(middle, Qt::ElideMiddle,
                             std::max(0, room - m.horizontalAdvance(head + tail))) +
                tail;
    if (shown != text())
        setText(shown);
}
