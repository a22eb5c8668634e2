#include "app/WidgetHelpers.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <cmath>

QButtonGroup* MakeButtonGroup(QObject* owner, const char* name,
                              std::initializer_list<QAbstractButton*> buttons, int firstId) {
    auto* group = new QButtonGroup(owner);
    group->setObjectName(name);
    int id = firstId;
    for (QAbstractButton* b : buttons)
        group->addButton(b, id++);
    return group;
}

void CentreOnDesktop(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.frameGeometry().center() +
                    window.pos());
}

void SetApplicationTitle() { QCoreApplication::setApplicationName("Tarrow7"); }

void FitFormToFont(QWidget& form) {
    constexpr double DrawnTextHeight = 14.0;
    const double ratio = QFontMetricsF(form.font()).height() / DrawnTextHeight;
    if (ratio <= 1.0)
        return;
    // Edges rather than sizes are scaled, so controls that met still meet and none overlap.
    const auto scaled = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
    for (QWidget* w : form.findChildren<QWidget*>()) {
        QWidget* parent = w->parentWidget();
        if (w->isWindow() || !parent || parent->layout())
            continue;
        const QRect g = w->geometry();
        w->setGeometry(QRect(QPoint(scaled(g.left()), scaled(g.top())),
                             QPoint(scaled(g.right() + 1) - 1, scaled(g.bottom() + 1) - 1)));
    }
    form.setFixedSize(scaled(form.width()), scaled(form.height()));
}
