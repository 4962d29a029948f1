#pragma once

// The platform seams over Qt: message boxes, the file chooser, timer 1 and the
// queued call to the user-interface thread.

#include <QObject>
#include <QTimer>

#include "platform/dispatcher.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "platform/timer.h"

namespace modem {

// A message box without owner window: it blocks the action that shows it,
// but the dialog stays usable and keeps receiving meanwhile.
class QtMessageBox : public MessageBox {
public:
    void show(std::string_view text, std::string_view caption, MessageIcon icon) override;
    [[nodiscard]] Answer ask(std::string_view text, std::string_view caption) override;
};

// Titles "Save" / "Load", one filter for ".cfg" files, ".cfg" appended to a
// bare name, a question before replacing a file, never a preset name. Modal
// to the active window.
class QtFileChooser : public FileChooser {
public:
    [[nodiscard]] std::optional<std::filesystem::path> choose(FileDialogKind kind) override;
};

class QtTimer : public Timer {
public:
    QtTimer();
    void start(std::chrono::milliseconds delay, std::function<void()> onExpired) override;
    void stop() override;
    [[nodiscard]] bool isActive() const override;

private:
    QTimer m_timer;
    std::function<void()> m_onExpired;
};

class QtDispatcher : public QObject, public Dispatcher {
    Q_OBJECT
public:
    void post(std::function<void()> task) override;
};

}  // namespace modem
