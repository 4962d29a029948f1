#pragma once

// The simulated modem of --demo: modem-sim as a child process on a
// pseudo-terminal, ended with the program. When it is unplugged it comes back
// on a fresh terminal and names it; the demo's port finder follows it there,
// as discovery follows a real modem to its new tty.

#include <QProcess>
#include <QString>
#include <optional>
#include <string>

#include "link/link.h"

namespace modem {

// modem-sim beside this program (the build tree and the install bindir keep
// them together), else from PATH; empty when there is none.
[[nodiscard]] QString findModemSim();

class DemoModem {
public:
    DemoModem() = default;
    // Ends the simulator: asked to terminate, killed if it does not.
    ~DemoModem();
    DemoModem(const DemoModem&) = delete;
    DemoModem& operator=(const DemoModem&) = delete;

    // Starts `program` and waits for the first line it prints, the path of its
    // pseudo-terminal. An error message when it does not start or say it.
    [[nodiscard]] std::optional<QString> start(const QString& program,
                                               const QStringList& arguments = {});

    // The terminal the simulator last named: every line it prints after the
    // first names the terminal it serves after an unplug.
    [[nodiscard]] const QString& portPath() const { return m_portPath; }
    [[nodiscard]] bool running() const { return m_process.state() != QProcess::NotRunning; }
    [[nodiscard]] qint64 processId() const { return m_process.processId(); }

private:
    void takeAnnouncements();

    QProcess m_process;
    QString m_portPath;
};

// Finds the simulator's current terminal on every connect and logs
// "device found on <path>".
class DemoPortFinder : public PortFinder {
public:
    explicit DemoPortFinder(const DemoModem& demo) : m_demo(demo) {}
    [[nodiscard]] std::string findModemPort(TerminalPane& pane) override;

private:
    const DemoModem& m_demo;
};

}  // namespace modem
