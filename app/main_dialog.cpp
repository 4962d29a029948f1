#include "app/main_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyleFactory>
#include <algorithm>

#include "app/dialog_widgets.h"
#include "app/list_accessibility.h"
#include "ui/control_names.h"

// Resources of a static library are registered by hand, outside any namespace.
static void initialiseIconResource() {
    Q_INIT_RESOURCE(icons);
}

namespace modem {

namespace {

// Dialog units; the height of the layout's single-line edit fields.
constexpr int closedListHeight = 12;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Static texts end lines with CR LF and may hold a lone CR (4072 ends in one);
// a Win32 static control breaks the line at either.
QString staticText(std::string_view text) {
    QString shown = fromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (shown.endsWith(QLatin1Char('\n'))) {
        shown.chop(1);
    }
    return shown;
}

Qt::Alignment alignmentOf(const ControlTemplate& ctl) {
    return ctl.alignment == TextAlignment::Left ? Qt::AlignLeft : Qt::AlignHCenter;
}

}  // namespace

void applyDialogStyle() {
    if (QStyle* windows = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(windows);
        QApplication::setPalette(windows->standardPalette());
    }
}

MainDialog::MainDialog(Language language, QWidget* parent) : QDialog(parent), m_language(language) {
    initialiseIconResource();
    installListAccessibility();
    const DialogTemplate ctl = dialogTemplate(m_language);
    const QFont font = makeDialogFont(ctl);
    setFont(font);
    m_base = baseUnitsOf(font);

    setWindowTitle(fromUtf8(ctl.caption));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/modem-16.png"));
    icon.addFile(QStringLiteral(":/icons/modem-32.png"));
    setWindowIcon(icon);
    // Caption, system menu and minimise box; no maximise box, no sizing border.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(dluToPixelsX(ctl.width, m_base), dluToPixelsY(ctl.height, m_base));
    setSizeGripEnabled(false);

    for (const ControlTemplate& control : dialogControls(m_language)) {
        m_controls.emplace(control.id, createControl(control));
    }
    fillLists();
    setTabOrder();
}

QWidget* MainDialog::control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QWidget* MainDialog::createControl(const ControlTemplate& ctl) {
    QWidget* widget = nullptr;
    QRect place = dluToPixels(ctl.x, ctl.y, ctl.width, ctl.height, m_base);
    switch (ctl.kind) {
        case ControlKind::Button: {
            QPushButton* button =
                ctl.multiLineCaption ? new MultiLineButton(this) : new QPushButton(this);
            button->setText(fromUtf8(ctl.text));
            // None is a default button: Enter must not press anything.
            button->setAutoDefault(false);
            button->setDefault(false);
            const int id = ctl.id;
            connect(button, &QPushButton::clicked, this, [this, id] {
                if (m_onCommand) {
                    m_onCommand(id);
                }
            });
            widget = button;
            break;
        }
        case ControlKind::NumberField:
        case ControlKind::TextField: {
            auto* edit = new QLineEdit(this);
            edit->setAlignment(Qt::AlignCenter);
            edit->setText(fromUtf8(ctl.text));
            edit->setValidator(
                new FieldValidator(static_cast<int>(ctl.textLimit), ctl.digitsOnly, edit));
            widget = edit;
            break;
        }
        case ControlKind::MultiLineField: {
            auto* edit = new MultiLineEdit(
                ctl.id == ids::channelTable ? EnterKey::BreaksLine : EnterKey::ForTheDialog, this);
            if (ctl.fixedPitchFont) {
                edit->setFont(makeFixedPitchFont(modem::fixedPitchFont()));
            }
            widget = edit;
            break;
        }
        case ControlKind::List: {
            auto* list = new QComboBox(this);
            list->setEditable(false);
            list->setInsertPolicy(QComboBox::NoInsert);
            // The table's height includes the dropped-down part. The closed box
            // is as high as an edit field: the layout leaves that much between a
            // list and the caption below it.
            const int closed = dluToPixelsY(closedListHeight, m_base);
            const int dropped = std::max(0, place.height() - closed);
            const int itemHeight = std::max(1, list->fontMetrics().height());
            list->setMaxVisibleItems(std::max(1, dropped / itemHeight));
            place.setHeight(closed);
            widget = list;
            break;
        }
        case ControlKind::Label:
        case ControlKind::LeftLabel: {
            auto* label = new QLabel(this);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(alignmentOf(ctl) | Qt::AlignTop);
            label->setText(staticText(ctl.text));
            widget = label;
            break;
        }
        case ControlKind::GroupBox:
        case ControlKind::CentredGroupBox: {
            auto* box = new QGroupBox(fromUtf8(ctl.text), this);
            box->setAlignment(ctl.kind == ControlKind::CentredGroupBox ? Qt::AlignHCenter
                                                                       : alignmentOf(ctl));
            widget = box;
            break;
        }
    }
    widget->setObjectName(QStringLiteral("control%1").arg(ctl.id));
    widget->setProperty("controlId", ctl.id);
    // Without a name of its own a control is named by its caption, which
    // follows the caption when it changes.
    if (const ControlName* named = findControlName(ctl.id, m_language)) {
        if (!named->name.empty()) {
            widget->setAccessibleName(fromUtf8(named->name));
        }
        widget->setAccessibleDescription(fromUtf8(named->description));
    }
    widget->setGeometry(place);
    if (ctl.kind == ControlKind::Label || ctl.kind == ControlKind::LeftLabel ||
        ctl.kind == ControlKind::GroupBox || ctl.kind == ControlKind::CentredGroupBox) {
        widget->setFocusPolicy(Qt::NoFocus);
        // Statics take no input, so a press goes to the control beneath. A
        // frame comes after the controls it frames and so lies on top of them.
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);
    } else if (!ctl.tabStop) {
        widget->setFocusPolicy(Qt::ClickFocus);
    } else {
        widget->setFocusPolicy(Qt::StrongFocus);
    }
    return widget;
}

void MainDialog::fillLists() {
    for (const ListTemplate& list : dialogLists(m_language)) {
        auto* box = qobject_cast<QComboBox*>(control(list.id));
        if (box == nullptr) {
            continue;
        }
        for (const std::string& item : list.items) {
            box->addItem(QString::fromStdString(item));
        }
        // The drop-down is as wide as its longest item, so no item is cut and
        // no horizontal scroll bar takes the room of a row.
        QAbstractItemView* view = box->view();
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const int scrollBar = box->count() > box->maxVisibleItems()
                                  ? view->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                                  : 0;
        view->setMinimumWidth(view->sizeHintForColumn(0) + 2 * view->frameWidth() + scrollBar);
        // Nothing selected until the form is initialised (initialiseForm sets
        // the first selections); addItem would have selected the first item.
        box->setCurrentIndex(-1);
    }
}

void MainDialog::setTabOrder() {
    QWidget* previous = nullptr;
    for (const ControlTemplate& ctl : dialogControls()) {
        if (!ctl.tabStop) {
            continue;
        }
        QWidget* current = control(ctl.id);
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, current);
        }
        previous = current;
    }
}

void MainDialog::centreOnScreen() {
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do nothing anywhere in the dialog; Escape must not close it.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace modem
