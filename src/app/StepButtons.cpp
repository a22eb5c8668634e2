#include "app/StepButtons.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

StepButtons::StepButtons(QWidget* parent)
    : QWidget(parent), up(new QToolButton(this)), down(new QToolButton(this)) {
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up);
    layout->addWidget(down);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(up, &QToolButton::clicked, this, [this] { step(true); });
    connect(down, &QToolButton::clicked, this, [this] { step(false); });
}

void StepButtons::setRange(int minimum, int maximum) {
    lo = minimum;
    hi = maximum;
    pos = std::clamp(pos, lo, hi);
}

void StepButtons::setPosition(int value) { pos = std::clamp(value, lo, hi); }

void StepButtons::step(bool upward) {
    pos = std::clamp(pos + (upward ? 1 : -1), lo, hi);
    emit clicked(upward);
}
