#pragma once

// The simulated modem of --demo: modem-sim as a child process on a
// pseudo-terminal, ended with the program.

#include <QProcess>
#include <QString>
#include <optional>

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

    [[nodiscard]] const QString& portPath() const { return m_portPath; }
    [[nodiscard]] bool running() const { return m_process.state() != QProcess::NotRunning; }

private:
    QProcess m_process;
    QString m_portPath;
};

}  // namespace modem
