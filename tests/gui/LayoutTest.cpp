// Every window and dialog at the font resolution this run was started with (QT_FONT_DPI):
// no control overlaps a sibling or leaves its parent, no caption is cut, no edit is shorter
// than its text. CTest runs it at 96 and at 144 dots per inch.
#include "gui/MainWindowRig.h"

namespace {

// The area the style gives a control's caption.
QRect captionArea(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->contentsRect();
    auto* b = qobject_cast<QAbstractButton*>(w);
    if (!b)
        return {};
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    const auto element = b->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                         : b->inherits("QCheckBox")  ? QStyle::SE_CheckBoxContents
                                                     : QStyle::SE_PushButtonContents;
    return b->style()->subElementRect(element, &option, b);
}

// What is wrong with a form once shown, "; " between the problems.
QString problems(QWidget* form) {
    form->show();
    if (!QTest::qWaitForWindowExposed(form))
        return "not shown";
    QApplication::processEvents();
    QStringList found;
    const auto visible = [form](QWidget* w) {
        return !w->objectName().isEmpty() && !w->objectName().startsWith("qt_") &&
               w->isVisibleTo(form);
    };
    // A button set on a group box, inside its frame, belongs to the group: it may not meet the
    // group's own controls.
    const auto setOn = [&](QWidget* top, QWidget* group) {
        if (!qobject_cast<QGroupBox*>(group) ||
            !group->contentsRect().translated(group->pos()).contains(top->geometry()))
            return false;
        for (QWidget* c : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (visible(c) && c->geometry().translated(group->pos()).intersects(top->geometry()))
                found << top->objectName() + " overlaps " + c->objectName();
        return true;
    };
    for (QWidget* w : form->findChildren<QWidget*>()) {
        QWidget* parent = w->parentWidget();
        if (!visible(w) || !parent || qobject_cast<QTabWidget*>(parent))
            continue;
        if (parent != form && !parent->rect().contains(w->geometry()) &&
            !parent->inherits("QStackedWidget"))
            found << w->objectName() + " leaves " + parent->objectName();
        for (QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w < other && visible(other) && !other->isWindow() &&
                w->geometry().intersects(other->geometry()) && !setOn(w, other) && !setOn(other, w))
                found << w->objectName() + " overlaps " + other->objectName();
        const QFontMetrics metrics = w->fontMetrics();
        const QString caption = w->property("text").toString().remove('&');
        // The status bar's fields give way and hold their whole text in a tooltip.
        const QRect area = qobject_cast<QStatusBar*>(parent) ? QRect() : captionArea(w);
        if (area.isValid() && !caption.isEmpty() && !caption.contains('\n') &&
            (area.width() < metrics.horizontalAdvance(caption) || w->height() < metrics.height()))
            found << w->objectName() + " cuts \"" + caption + "\"";
        if (auto* group = qobject_cast<QGroupBox*>(w);
            group && metrics.horizontalAdvance(group->title()) + 2 * metrics.averageCharWidth() >
                         group->width())
            found << w->objectName() + " cuts its title";
        if ((w->inherits("QLineEdit") || w->inherits("QAbstractSpinBox") ||
             w->inherits("QComboBox")) &&
            w->height() < metrics.height() + 2)
            found << w->objectName() + " is shorter than its text";
    }
    // The title bar shows the whole title: the window is at least as wide as the title's text
    // and the buttons beside it (three of a title bar's height each, as most themes draw them).
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    if (title.horizontalAdvance(form->windowTitle()) + 4 * title.height() + 24 > form->width())
        found << "the title \"" + form->windowTitle() + "\" is cut";
    return found.join("; ");
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

    // At the usual resolution the main window fits a 1366×768 screen at 125 % (1093×614 in the
    // program's pixels), title bar and desktop panel included.
    void mainWindowBothPagesAndDialogs() {
        for (const char* conf : {Compat, "Port=1\nCompatibility=0\n"}) {
            MainWindowRig rig(conf);
            for (const int page : {0, 1}) {
                rig.ui().TAB_main->setCurrentIndex(page);
                QCOMPARE(problems(rig.window.get()), QString());
            }
            const QSize size = rig.window->size();
            QVERIFY2(rig.window->fontMetrics().height() > 14 ||
                         (size.width() <= 1093 && size.height() <= 614 - 60),
                     qPrintable(QString("%1×%2").arg(size.width()).arg(size.height())));
            for (QWidget* dialog : std::initializer_list<QWidget*>{
                     rig.calibrate.get(), rig.serialPort.get(), &rig.window->outputOptions()})
                QCOMPARE(problems(dialog), QString());
        }
    }

    // At the opening size the status bar's longest texts show whole, but for the middle of a
    // device's name and the counters' words, which give way, and the fault list, which the
    // tool tip holds.
    void statusBarLongestTexts() {
        LineStatusTexts longest;
        longest.baud = "19200 baud";
        longest.sent = "Sent 99999999 bytes"; // two and a half days at 4800 baud
        longest.dropped = "Dropped 9999";
        longest.load = "Load 100%";
        longest.faults = "FAULTS ON: checksum:5, garbage:10, silence:10/60";
        longest.time = "Live time";
        const std::pair<std::string, std::string> ports[] = {
            {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234567-if00-port0", "not open"},
            {"127.0.0.1:10110, 100 clients", "open"},
            {"virtual /run/user/1000/tarrow/COM1", "lost"}};
        for (const auto& [device, state] : ports) {
            MainWindowRig rig;
            rig.window->statusRefresh().stop();
            const int width = rig.window->width();
            longest.portName = "COM4:";
            longest.portDevice = device;
            longest.portState = state;
            rig.window->showStatus(longest);
            QCOMPARE(problems(rig.window.get()), QString());
            // Larger fonts widen the window as they must; the usual ones keep it as it opened.
            QVERIFY(rig.window->fontMetrics().height() > 14 || rig.window->width() == width);
            for (const QLabel* label : rig.ui().StatusBar1->findChildren<QLabel*>()) {
                if (!label->isVisible())
                    continue;
                const QString shown = label->text();
                QVERIFY2(label->contentsRect().width() >=
                             label->fontMetrics().horizontalAdvance(shown),
                         qPrintable(shown + " is cut"));
            }
            const QString port = rig.window->findChild<QLabel*>("StatusPort")->text();
            QVERIFY2(port.startsWith("COM4: ") &&
                         port.endsWith(QString::fromStdString(" " + state)),
                     qPrintable(port));
            const QString faults = rig.window->findChild<QLabel*>("StatusFaults")->text();
            QVERIFY2(faults == QString::fromStdString(longest.faults) || faults == "FAULTS ON",
                     qPrintable(faults));
        }
        // Without faults the usual device's name shows whole.
        MainWindowRig rig;
        rig.window->statusRefresh().stop();
        LineStatusTexts usual = longest;
        usual.portDevice = "/dev/ttyUSB0";
        usual.baud = "4800 baud";
        usual.sent = "Sent 123456 bytes";
        usual.dropped = "Dropped 0";
        usual.load = "Load 28%";
        usual.faults.clear();
        usual.time.clear();
        rig.window->showStatus(usual);
        QCOMPARE(problems(rig.window.get()), QString());
        if (rig.window->fontMetrics().height() <= 14)
            QCOMPARE(rig.window->findChild<QLabel*>("StatusPort")->text(),
                     QString::fromStdString("COM4: /dev/ttyUSB0 " + usual.portState));
    }
};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
