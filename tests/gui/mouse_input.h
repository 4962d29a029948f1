#pragma once

// The mouse as the operator uses it: presses delivered to a top-level window
// at a point, so that the toolkit's own hit-testing decides which widget gets
// them.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace modem::test {

// The centre of `widget` in the coordinates of its top-level window.
inline QPoint centreInWindow(const QWidget& widget) {
    return widget.mapTo(widget.window(), widget.rect().center());
}

// Press and release at `point` of `window`'s window.
inline void clickAt(QWidget& window, QPoint point) {
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
}

// Press and release over the middle of `widget`, whatever lies there.
inline void clickCentreOf(QWidget& widget) {
    clickAt(*widget.window(), centreInWindow(widget));
}

// The open drop-down of `list`, or nullptr.
inline QWidget* openPopupOf(const QComboBox& list) {
    QWidget* popup = QApplication::activePopupWidget();
    return popup != nullptr && popup == list.view()->window() ? popup : nullptr;
}

// Opens `list` with a click and clicks item `index` in its drop-down. False
// when the list did not open or the item is not in sight.
[[nodiscard]] inline bool chooseItem(QComboBox& list, int index) {
    clickCentreOf(list);
    QWidget* popup = openPopupOf(list);
    if (popup == nullptr) {
        return false;
    }
    QAbstractItemView* view = list.view();
    const QRect item = view->visualRect(list.model()->index(index, list.modelColumn()));
    if (!view->viewport()->rect().contains(item)) {
        return false;
    }
    const QPoint at = view->viewport()->mapTo(popup, item.center());
    // The hand travels from the box to the item before it clicks again; the
    // drop-down takes a release near the opening press as part of that press.
    QTest::mouseMove(popup->windowHandle(), at);
    QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    return QApplication::activePopupWidget() == nullptr;
}

}  // namespace modem::test
