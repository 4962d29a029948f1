#include "app/main_dialog.h"

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

// Resources of a static library are registered by hand, outside any namespace.
static void initialiseIconResource() {
    Q_INIT_RESOURCE(icons);
}

namespace modem {

namespace {

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

Qt::Alignment alignmentOf(const ControlSpec& spec) {
    return spec.alignment == TextAlignment::Left ? Qt::AlignLeft : Qt::AlignHCenter;
}

}  // namespace

void applyDialogStyle() {
    if (QStyle* windows = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(windows);
        QApplication::setPalette(windows->standardPalette());
    }
}

MainDialog::MainDialog(QWidget* parent) : QDialog(parent) {
    initialiseIconResource();
    const DialogSpec spec = dialogSpec();
    const QFont font = makeDialogFont(spec);
    setFont(font);
    m_base = baseUnitsOf(font);

    setWindowTitle(fromUtf8(spec.caption));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/modem-16.png"));
    icon.addFile(QStringLiteral(":/icons/modem-32.png"));
    setWindowIcon(icon);
    // Caption, system menu and minimise box; no maximise box, no sizing border.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(dluToPixelsX(spec.width, m_base), dluToPixelsY(spec.height, m_base));
    setSizeGripEnabled(false);

    for (const ControlSpec& control : dialogControls()) {
        m_controls.emplace(control.id, createControl(control));
    }
    fillLists();
    setTabOrder();
}

QWidget* MainDialog::control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QWidget* MainDialog::createControl(const ControlSpec& spec) {
    QWidget* widget = nullptr;
    QRect place = dluToPixels(spec.x, spec.y, spec.width, spec.height, m_base);
    switch (spec.kind) {
        case ControlKind::Button: {
            QPushButton* button =
                spec.multiLineCaption ? new MultiLineButton(this) : new QPushButton(this);
            button->setText(fromUtf8(spec.text));
            // None is a default button: Enter must not press anything.
            button->setAutoDefault(false);
            button->setDefault(false);
            const int id = spec.id;
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
            edit->setText(fromUtf8(spec.text));
            edit->setValidator(
                new FieldValidator(static_cast<int>(spec.textLimit), spec.digitsOnly, edit));
            widget = edit;
            break;
        }
        case ControlKind::MultiLineField: {
            auto* edit = new MultiLineEdit(this);
            if (spec.fixedPitchFont) {
                edit->setFont(makeFixedPitchFont(modem::fixedPitchFont()));
            }
            widget = edit;
            break;
        }
        case ControlKind::List: {
            auto* list = new QComboBox(this);
            list->setEditable(false);
            list->setInsertPolicy(QComboBox::NoInsert);
            // The table's height includes the dropped-down part; the closed box
            // is as high as the style makes it for the dialog font.
            const int closed = list->sizeHint().height();
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
            label->setAlignment(alignmentOf(spec) | Qt::AlignTop);
            label->setText(staticText(spec.text));
            widget = label;
            break;
        }
        case ControlKind::GroupBox:
        case ControlKind::CentredGroupBox: {
            auto* box = new QGroupBox(fromUtf8(spec.text), this);
            box->setAlignment(spec.kind == ControlKind::CentredGroupBox ? Qt::AlignHCenter
                                                                        : alignmentOf(spec));
            widget = box;
            break;
        }
    }
    widget->setObjectName(QStringLiteral("control%1").arg(spec.id));
    widget->setProperty("controlId", spec.id);
    widget->setGeometry(place);
    if (spec.kind == ControlKind::Label || spec.kind == ControlKind::LeftLabel ||
        spec.kind == ControlKind::GroupBox || spec.kind == ControlKind::CentredGroupBox) {
        widget->setFocusPolicy(Qt::NoFocus);
    } else if (!spec.tabStop) {
        widget->setFocusPolicy(Qt::ClickFocus);
    } else {
        widget->setFocusPolicy(Qt::StrongFocus);
    }
    return widget;
}

void MainDialog::fillLists() {
    for (const ListSpec& list : dialogLists()) {
        auto* box = qobject_cast<QComboBox*>(control(list.id));
        if (box == nullptr) {
            continue;
        }
        for (const std::string& item : list.items) {
            box->addItem(QString::fromStdString(item));
        }
        // Nothing selected until the form is initialised (initialiseForm sets
        // the first selections); addItem would have selected the first item.
        box->setCurrentIndex(-1);
    }
}

void MainDialog::setTabOrder() {
    QWidget* previous = nullptr;
    for (const ControlSpec& spec : dialogControls()) {
        if (!spec.tabStop) {
            continue;
        }
        QWidget* current = control(spec.id);
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
