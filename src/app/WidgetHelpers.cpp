#include "app/WidgetHelpers.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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
