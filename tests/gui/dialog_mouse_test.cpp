// The dialog under the operator's mouse: a press and release at the middle of
// every control, delivered to the window so that the toolkit decides what is
// hit, must reach the control drawn there; buttons act on release over them;
// drop-downs open on the screen, tall enough for what the layout gives them.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/dialog_units.h"
#include "app/main_dialog.h"
#include "gui/mouse_input.h"
#include "ui/control_table.h"

using namespace modem;

namespace {

bool isInteractive(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
        case ControlKind::NumberField:
        case ControlKind::TextField:
        case ControlKind::MultiLineField:
        case ControlKind::List:
            return true;
        case ControlKind::Label:
        case ControlKind::LeftLabel:
        case ControlKind::GroupBox:
        case ControlKind::CentredGroupBox:
            return false;
    }
    return false;
}

const char* kindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button:
            return "button";
        case ControlKind::NumberField:
        case ControlKind::TextField:
        case ControlKind::MultiLineField:
            return "field";
        case ControlKind::List:
            return "list";
        default:
            return "static";
    }
}

// The dialog shown and active, recording the buttons it reports.
struct ShownDialog {
    ShownDialog() {
        dialog.setCommandHandler([this](int id) { commands.push_back(id); });
        dialog.show();
        dialog.centreOnScreen();
        dialog.activateWindow();
    }
    [[nodiscard]] bool ready() {
        return QTest::qWaitForWindowExposed(&dialog) && QTest::qWaitForWindowActive(&dialog);
    }
    [[nodiscard]] QWidget& control(int id) { return *dialog.control(id); }

    MainDialog dialog;
    std::vector<int> commands;
};

// The control a press at `point` should reach: the last created (so the top
// one) of the controls that take input and cover the point; statics take
// none. 0 when there is none.
int controlDrawnAt(ShownDialog& shown, QPoint point) {
    int found = 0;
    for (const ControlTemplate& ctl : dialogControls()) {
        if (isInteractive(ctl.kind) && shown.control(ctl.id).geometry().contains(point)) {
            found = ctl.id;
        }
    }
    return found;
}

}  // namespace

// Every fault found, one per line, rather than the first.
#define NO_FAULTS(faults)                                                                         \
    QVERIFY2((faults).isEmpty(), qPrintable(QStringLiteral("%1 faults:\n").arg((faults).size()) + \
                                            (faults).join(QLatin1Char('\n'))))

class DialogMouseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyDialogStyle(); }

    // A button reports its press, a field takes the focus, a list opens; a
    // press on a static reaches what lies under it, or nothing.
    void everyControlAnswersAPressAtItsMiddle() {
        ShownDialog shown;
        QVERIFY(shown.ready());
        QStringList faults;
        int checked = 0;
        for (const ControlTemplate& ctl : dialogControls()) {
            QWidget& widget = shown.control(ctl.id);
            const QPoint point = test::centreInWindow(widget);
            const int expected = controlDrawnAt(shown, point);
            const QString what = QStringLiteral("%1 (%2)").arg(ctl.id).arg(kindName(ctl.kind));
            if (isInteractive(ctl.kind) && expected != ctl.id) {
                faults << QStringLiteral("%1: its middle is under %2").arg(what).arg(expected);
                continue;
            }

            // The focus starts on a button away from the target, by the mouse too.
            const int home = ctl.id == ids::modemTestButton || expected == ids::modemTestButton
                                 ? ids::firmwareVersionButton
                                 : ids::modemTestButton;
            shown.commands.clear();
            test::clickCentreOf(shown.control(home));
            if (shown.commands != std::vector<int>{home} ||
                QApplication::focusWidget() != &shown.control(home)) {
                faults << QStringLiteral("%1: the button %2 did not take the press before it")
                              .arg(what)
                              .arg(home);
                continue;
            }
            shown.commands.clear();

            test::clickAt(shown.dialog, point);
            QWidget* focus = QApplication::focusWidget();
            QWidget* popup = QApplication::activePopupWidget();
            const ControlKind kind =
                expected == 0 ? ControlKind::Label : findControl(expected)->kind;
            QString fault;
            if (kind == ControlKind::Button) {
                if (shown.commands != std::vector<int>{expected}) {
                    fault = QStringLiteral("button %1 reported no press").arg(expected);
                }
            } else if (!shown.commands.empty()) {
                fault = QStringLiteral("button %1 reported a press").arg(shown.commands.front());
            } else if (kind == ControlKind::List) {
                auto* list = qobject_cast<QComboBox*>(&shown.control(expected));
                if (popup == nullptr || popup != test::openPopupOf(*list)) {
                    fault = QStringLiteral("list %1 did not open").arg(expected);
                }
            } else if (isInteractive(kind)) {
                if (focus != &shown.control(expected)) {
                    fault = QStringLiteral("field %1 did not take the focus").arg(expected);
                }
            } else if (focus != &shown.control(home)) {
                fault = QStringLiteral("the focus moved");
            }
            if (kind != ControlKind::List && popup != nullptr) {
                fault += QStringLiteral(" a drop-down opened");
            }
            if (popup != nullptr) {
                QTest::keyClick(popup->windowHandle(), Qt::Key_Escape);
                if (QApplication::activePopupWidget() != nullptr) {
                    faults << what + QStringLiteral(": its drop-down did not close");
                    break;
                }
            }
            if (!fault.isEmpty()) {
                faults << what + QStringLiteral(": ") + fault;
            }
            ++checked;
        }
        NO_FAULTS(faults);
        QCOMPARE(checked, 96);
    }

    // Labels lie clear of every control; a frame's controls lie inside it,
    // below its title.
    void staticsCoverNoControl() {
        ShownDialog shown;
        QStringList faults;
        for (const ControlTemplate& stat : dialogControls()) {
            if (isInteractive(stat.kind)) {
                continue;
            }
            const QWidget& widget = shown.control(stat.id);
            const bool frame =
                stat.kind == ControlKind::GroupBox || stat.kind == ControlKind::CentredGroupBox;
            QRect inside = widget.geometry();
            if (frame) {
                inside.setTop(inside.top() + widget.fontMetrics().height());
            }
            for (const ControlTemplate& ctl : dialogControls()) {
                const QRect place = shown.control(ctl.id).geometry();
                if (!isInteractive(ctl.kind) || !place.intersects(widget.geometry()) ||
                    (frame && inside.contains(place))) {
                    continue;
                }
                faults << QStringLiteral("%1 covers %2 at %3,%4")
                              .arg(stat.id)
                              .arg(ctl.id)
                              .arg(place.intersected(widget.geometry()).x())
                              .arg(place.intersected(widget.geometry()).y());
            }
        }
        NO_FAULTS(faults);
    }

    // Each list drops down beside itself, on the screen, showing as many items
    // as the height the layout gives it holds (all of them when they fit).
    void dropDownsOpenOnTheScreenTallEnough() {
        ShownDialog shown;
        QVERIFY(shown.ready());
        const QRect screen = shown.dialog.screen()->availableGeometry();
        QVERIFY2(screen.contains(shown.dialog.frameGeometry()),
                 "the test screen is too small for the dialog");
        const BaseUnits base = shown.dialog.baseUnits();
        QStringList faults;
        for (const ControlTemplate& ctl : dialogControls()) {
            if (ctl.kind != ControlKind::List) {
                continue;
            }
            auto* list = qobject_cast<QComboBox*>(&shown.control(ctl.id));
            test::clickCentreOf(*list);
            QWidget* popup = test::openPopupOf(*list);
            if (popup == nullptr) {
                faults << QStringLiteral("%1 did not open").arg(ctl.id);
                continue;
            }
            const QRect dropped = popup->frameGeometry();
            const QRect box(list->mapToGlobal(QPoint(0, 0)), list->size());
            if (!screen.contains(dropped)) {
                faults << QStringLiteral("%1 drops off the screen").arg(ctl.id);
            }
            // Right under the box or right over it, a pixel of frame shared.
            if (dropped.left() != box.left() || (std::abs(dropped.top() - box.bottom()) > 1 &&
                                                 std::abs(dropped.bottom() - box.top()) > 1)) {
                faults << QStringLiteral("%1 drops down away from its box").arg(ctl.id);
            }
            QAbstractItemView* view = list->view();
            int rows = 0;
            for (int i = 0; i < list->count(); ++i) {
                const QRect item = view->visualRect(list->model()->index(i, 0));
                rows += view->viewport()->rect().contains(item) ? 1 : 0;
            }
            const int rowHeight = view->visualRect(list->model()->index(0, 0)).height();
            const int room = dluToPixelsY(ctl.height, base) - list->height();
            const int expected = std::min(list->count(), std::max(1, room / rowHeight));
            if (rows < expected) {
                faults << QStringLiteral("%1 shows %2 of its %3 items where %4 fit")
                              .arg(ctl.id)
                              .arg(rows)
                              .arg(list->count())
                              .arg(expected);
            }
            QTest::keyClick(popup->windowHandle(), Qt::Key_Escape);
            QVERIFY(QApplication::activePopupWidget() == nullptr);
        }
        NO_FAULTS(faults);
    }

    // A press that leaves the button before the release, or a release that
    // was not pressed there, reports nothing; a click does.
    void buttonsActOnAReleaseOverThem() {
        ShownDialog shown;
        QVERIFY(shown.ready());
        QWindow* window = shown.dialog.windowHandle();
        const QPoint away(2, 2);  // the dialog's top left corner: no control there
        QVERIFY(shown.dialog.childAt(away) == nullptr);
        QStringList faults;
        for (const ControlTemplate& ctl : dialogControls()) {
            if (ctl.kind != ControlKind::Button) {
                continue;
            }
            const QPoint middle = test::centreInWindow(shown.control(ctl.id));
            shown.commands.clear();
            QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, middle);
            QTest::mouseMove(window, away);
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, away);
            QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, away);
            QTest::mouseMove(window, middle);
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, middle);
            if (!shown.commands.empty()) {
                faults << QStringLiteral("%1 acted without a click").arg(ctl.id);
            }
            test::clickAt(shown.dialog, middle);
            if (shown.commands != std::vector<int>{ctl.id}) {
                faults << QStringLiteral("%1 did not act on a click").arg(ctl.id);
            }
        }
        NO_FAULTS(faults);
    }
};

// The offscreen platform's screen is 800 pixels wide, narrower than the
// dialog; drop-downs need a screen that holds it, as the operator's does.
int main(int argc, char** argv) {
    QTemporaryDir dir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && dir.isValid()) {
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"screens": [{"name": "xga", "x": 0, "y": 0, "width": 1024,
                "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.0}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
        }
    }
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    DialogMouseTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "dialog_mouse_test.moc"
