#pragma once

// The dialog against modem-sim on a pseudo-terminal, driven as the operator
// drives it: mouse and keys through the window. What reached the modem is read
// back from modem-sim's traffic log. Shared by the Qt tests that need a modem.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/configurator.h"
#include "app/main_dialog.h"
#include "gui/mouse_input.h"
#include "link/discovery.h"
#include "link/terminal_pane.h"
#include "settings/mset.h"
#include "support/recording_message_box.h"
#include "support/scripted_file_chooser.h"
#include "support/sim_process.h"
#include "support/sim_traffic.h"
#include "support/temp_dir.h"
#include "traffic/traffic_format.h"
#include "ui/control_table.h"

namespace modem::test {

inline constexpr int replyTimeoutMs = 20000;  // a paced report is about a second at 9600 bit/s

// What the pane holds after `report` arrived into an empty pane.
inline std::string paneAfter(const std::string& report) {
    TerminalPane pane;
    for (const char c : report) {
        pane.appendChar(static_cast<unsigned char>(c));
    }
    return pane.snapshot();
}

inline bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

inline std::string imageBytes(const Mset& mset) {
    const MsetImage image = toImage(mset);
    return std::string(image.begin(), image.end());
}

// The operator at the program's own message boxes: each box that appears is
// read (caption and text) and answered with the next button of the script,
// clicked with the mouse; with the script used up, the box's default button.
// It watches from a timer, so it also answers boxes opened inside an action.
class MessageBoxHand : public QObject {
public:
    struct Seen {
        QString caption;
        QString text;
    };

    MessageBoxHand() {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, this, [this] { look(); });
        m_poll.start();
    }

    void script(std::initializer_list<QMessageBox::StandardButton> buttons) {
        m_script.insert(m_script.end(), buttons.begin(), buttons.end());
    }
    // The next box stays open, its loop running, until `ready` holds (five
    // seconds at most): what happens meanwhile is handled inside the box's loop.
    void holdUntil(std::function<bool()> ready) { m_holdUntil = std::move(ready); }
    [[nodiscard]] const std::vector<Seen>& seen() const { return m_seen; }
    void clear() { m_seen.clear(); }

private:
    void look() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible() || box == m_answered) {
                continue;
            }
            if (m_holdUntil) {
                if (!m_held.isValid()) {
                    m_held.start();
                }
                if (!m_holdUntil() && m_held.elapsed() < 5000) {
                    return;
                }
                m_holdUntil = nullptr;
                m_held.invalidate();
            }
            m_answered = box;
            m_seen.push_back({box->windowTitle(), box->text()});
            QAbstractButton* button = box->defaultButton();
            if (!m_script.empty()) {
                button = box->button(m_script.front());
                m_script.pop_front();
            }
            if (button == nullptr && !box->buttons().isEmpty()) {
                button = box->buttons().constFirst();
            }
            if (button != nullptr) {
                clickCentreOf(*button);
            }
            return;
        }
    }

    QTimer m_poll;
    QPointer<QMessageBox> m_answered;
    std::deque<QMessageBox::StandardButton> m_script;
    std::vector<Seen> m_seen;
    std::function<bool()> m_holdUntil;
    QElapsedTimer m_held;
};

enum class Boxes {
    Recorded,  // a recording fake stands in for the message boxes
    Qt,        // the program's own boxes, answered by a MessageBoxHand
};

// modem-sim with a log, and a configurator connected to nothing yet.
struct Rig {
    explicit Rig(const std::string& baud = "0", Boxes boxes = Boxes::Recorded)
        : sim({"--baud", baud, "--log", (dir / "traffic.log").string()}),
          configurator(ConfiguratorSeams{std::make_unique<FixedPortFinder>(sim.path()),
                                         makeSystemSerialPort,
                                         boxes == Boxes::Recorded ? &messages : nullptr, &files}) {
        configurator.show();
        configurator.dialog().activateWindow();
        if (!QTest::qWaitForWindowActive(&configurator.dialog())) {
            throw std::runtime_error("the dialog did not become active");
        }
    }

    // The operator's hand: a click in the middle of the control, items picked
    // from the open drop-down, text typed over a field's whole text.
    void press(int id) { clickCentreOf(*configurator.dialog().control(id)); }
    // A press that slides off the button before the release: no click.
    void pressAndSlideOff(int id) {
        QWindow* window = configurator.dialog().windowHandle();
        const QPoint away(2, 2);  // the dialog's top left corner: no control there
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier,
                          centreInWindow(*configurator.dialog().control(id)));
        QTest::mouseMove(window, away);
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, away);
    }
    void select(int id, int index) {
        QVERIFY(chooseItem(*qobject_cast<QComboBox*>(configurator.dialog().control(id)), index));
        QCOMPARE(selected(id), index);
    }
    [[nodiscard]] int selected(int id) {
        return qobject_cast<QComboBox*>(configurator.dialog().control(id))->currentIndex();
    }
    void type(int id, const QString& text) {
        QWidget* field = configurator.dialog().control(id);
        press(id);
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }
    [[nodiscard]] QString caption(int id) {
        return qobject_cast<QAbstractButton*>(configurator.dialog().control(id))->text();
    }
    [[nodiscard]] std::string received() const { return receivedBySim(dir / "traffic.log"); }
    [[nodiscard]] std::string pane() { return configurator.pane().snapshot(); }

    TempDir dir;
    SimProcess sim;
    RecordingMessageBox messages;
    ScriptedFileChooser files;
    Configurator configurator;
};

}  // namespace modem::test

// Connects `rig` and waits for the modem's answer, so that later clears of the
// pane cannot race with it.
#define CONNECT(rig)                                                                               \
    do {                                                                                           \
        (rig).press(ids::connectButton);                                                           \
        QCOMPARE((rig).caption(ids::connectButton), QStringLiteral("Disconnect"));                 \
        QTRY_VERIFY_WITH_TIMEOUT((rig).pane().find("Config mode on") != std::string::npos, 10000); \
    } while (false)
