// Every window and dialog at the font resolution this run was started with (QT_FONT_DPI):
// no control overlaps a sibling or leaves its parent, no caption is cut, no edit is shorter
// than its text. CTest runs it at 96 and at 144 dots per inch.
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <cmath>

#include "app/OutputOptionsDialog.h"
#include "gui/DialogsRig.h"

namespace {

bool isOurs(const QWidget* w) {
    return !w->objectName().isEmpty() && !w->objectName().startsWith("qt_");
}

QString nameOf(const QWidget* w) {
    return w->objectName() + " (" + w->metaObject()->className() + ")";
}

// The area the style gives a control's caption.
QRect captionArea(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const auto element = b->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                             : b->inherits("QCheckBox")  ? QStyle::SE_CheckBoxContents
                                                         : QStyle::SE_PushButtonContents;
        return b->style()->subElementRect(element, &option, b);
    }
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->contentsRect();
    return {};
}

QStringList problems(QWidget* form) {
    QStringList found;
    const auto visible = [form](QWidget* w) { return isOurs(w) && w->isVisibleTo(form); };
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!visible(w) || !w->parentWidget() || qobject_cast<QTabWidget*>(w->parentWidget()))
            continue;
        QWidget* parent = w->parentWidget();
        if (parent != form && !parent->rect().contains(w->geometry()) &&
            !parent->inherits("QStackedWidget"))
            found << nameOf(w) + " leaves " + nameOf(parent);
        for (QObject* o : parent->children()) {
            auto* other = qobject_cast<QWidget*>(o);
            if (!other || other == w || !visible(other) || other->isWindow() || w > other ||
                !w->geometry().intersects(other->geometry()))
                continue;
            // A button set on a group box, inside its frame, belongs to the group: it may not
            // meet the group's own controls.
            const auto setOn = [&](QWidget* top, QWidget* group) {
                if (!qobject_cast<QGroupBox*>(group))
                    return false;
                const QRect inside = group->contentsRect().translated(group->pos());
                if (!inside.contains(top->geometry()))
                    return false;
                for (QWidget* c : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                    if (visible(c) &&
                        c->geometry().translated(group->pos()).intersects(top->geometry()))
                        found << nameOf(top) + " overlaps " + nameOf(c);
                return true;
            };
            if (!setOn(w, other) && !setOn(other, w))
                found << nameOf(w) + " overlaps " + nameOf(other);
        }
        const QFontMetrics metrics = w->fontMetrics();
        QString caption = w->property("text").toString();
        caption.remove('&');
        // The status bar's texts change as the line runs; its fields give way and hold their
        // whole text in a tooltip.
        const QRect area = qobject_cast<QStatusBar*>(parent) ? QRect() : captionArea(w);
        if (area.isValid() && !caption.isEmpty() && !caption.contains('\n') &&
            (area.width() < metrics.horizontalAdvance(caption) || w->height() < metrics.height()))
            found << nameOf(w) + " cuts \"" + caption + "\"";
        if (auto* group = qobject_cast<QGroupBox*>(w)) {
            if (metrics.horizontalAdvance(group->title()) + 2 * metrics.averageCharWidth() >
                group->width())
                found << nameOf(w) + " cuts its title";
        }
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
            qobject_cast<QComboBox*>(w)) {
            if (w->height() < metrics.height() + 2)
                found << nameOf(w) + " is shorter than its text";
        }
    }
    // The title bar shows the whole title: the window is at least as wide as the title's text
    // and the buttons beside it (three of a title bar's height each, as most themes draw them).
    const QFontMetrics titleMetrics(QApplication::font("QMdiSubWindowTitleBar"));
    if (titleMetrics.horizontalAdvance(form->windowTitle()) + 4 * titleMetrics.height() + 24 >
        form->width())
        found << "the title \"" + form->windowTitle() + "\" is cut";
    return found;
}

void showAndSettle(QWidget& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QApplication::processEvents();
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    // Platforms without a font resolution of their own (offscreen) ignore QT_FONT_DPI; there
    // the fonts are made as large as that resolution would make them.
    void initTestCase() {
        const double dpi = qEnvironmentVariableIntValue("QT_FONT_DPI");
        const double screen = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
        if (dpi > 0 && std::abs(dpi - screen) > 1) {
            QFont font = QApplication::font();
            font.setPointSizeF(font.pointSizeF() * dpi / screen);
            QApplication::setFont(font);
        }
    }

    void mainWindowBothPages() {
        MainWindowRig rig;
        rig.window->timer1().stop();
        showAndSettle(*rig.window);
        for (const int page : {0, 1}) {
            rig.ui().TAB_main->setCurrentIndex(page);
            QApplication::processEvents();
            const QStringList found = problems(rig.window.get());
            QVERIFY2(found.isEmpty(), qPrintable(found.join("; ")));
        }
        // At the usual resolution the window fits a 1366×768 screen at 125 % (1093×614 in
        // the program's pixels), title bar and desktop panel included.
        if (rig.window->fontMetrics().height() <= 14) {
            QVERIFY2(rig.window->width() <= 1093, qPrintable(QString::number(rig.window->width())));
            QVERIFY2(rig.window->height() <= 614 - 60,
                     qPrintable(QString::number(rig.window->height())));
        }
    }

    void dialogs() {
        for (const bool compatibility : {true, false}) {
            DialogsRig rig(compatibility ? "Port=1\nCompatibility=1\n"
                                         : "Port=1\nCompatibility=0\n");
            rig.window->timer1().stop();
            for (QWidget* dialog : std::initializer_list<QWidget*>{&rig.calibrate, &rig.serialPort,
                                                                   &rig.window->outputOptions()}) {
                showAndSettle(*dialog);
                const QStringList found = problems(dialog);
                QVERIFY2(found.isEmpty(),
                         qPrintable(dialog->objectName() + ": " + found.join("; ")));
                dialog->hide();
            }
        }
    }
};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
