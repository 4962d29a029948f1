#include "app/list_accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace modem {

namespace {

// The list's name is its caption; its current item is its value and its text,
// read-only, so that a screen reader announces both.
class NamedListAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit NamedListAccessible(QComboBox* list)
        : QAccessibleWidget(list, QAccessible::ComboBox) {}

    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    [[nodiscard]] QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return current();
        }
        return QAccessibleWidget::text(t);
    }

    // The one child is the list of items, as in Qt's own combo box.
    [[nodiscard]] int childCount() const override { return 1; }
    [[nodiscard]] QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == list()->view() ? 0 : -1;
    }
    [[nodiscard]] QAccessibleInterface* childAt(int /*x*/, int /*y*/) const override {
        return nullptr;
    }

    [[nodiscard]] QStringList actionNames() const override {
        return {showMenuAction(), pressAction()};
    }
    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) {
            return;
        }
        if (list()->view()->isVisible()) {
            list()->hidePopup();
        } else {
            list()->showPopup();
        }
    }

    // The current item as read-only text without a selection or a cursor.
    void selection(int /*index*/, int* start, int* end) const override { *start = *end = 0; }
    [[nodiscard]] int selectionCount() const override { return 0; }
    void addSelection(int /*start*/, int /*end*/) override {}
    void removeSelection(int /*index*/) override {}
    void setSelection(int /*index*/, int /*start*/, int /*end*/) override {}
    [[nodiscard]] int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    [[nodiscard]] QString text(int start, int end) const override {
        const QString value = current();
        start = qBound(0, start, static_cast<int>(value.size()));
        end = end < 0 ? static_cast<int>(value.size())
                      : qBound(start, end, static_cast<int>(value.size()));
        return value.mid(start, end - start);
    }
    [[nodiscard]] int characterCount() const override { return static_cast<int>(current().size()); }
    [[nodiscard]] QRect characterRect(int /*offset*/) const override { return {}; }
    [[nodiscard]] int offsetAtPoint(const QPoint& /*point*/) const override { return -1; }
    void scrollToSubstring(int /*start*/, int /*end*/) override {}
    [[nodiscard]] QString attributes(int /*offset*/, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    [[nodiscard]] QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
    [[nodiscard]] QString current() const { return list()->currentText(); }
};

QAccessibleInterface* namedListFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QComboBox")) {
        return nullptr;
    }
    auto* list = qobject_cast<QComboBox*>(object);
    if (list == nullptr || list->isEditable() || list->accessibleName().isEmpty()) {
        return nullptr;
    }
    return new NamedListAccessible(list);
}

}  // namespace

void installListAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(namedListFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace modem
