#include "app/demo_modem.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "link/discovery.h"

namespace modem {

namespace {

constexpr int startTimeoutMs = 5000;
constexpr int stopTimeoutMs = 2000;

}  // namespace

QString findModemSim() {
    const QString beside =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("modem-sim"));
    if (QFileInfo(beside).isExecutable()) {
        return beside;
    }
    return QStandardPaths::findExecutable(QStringLiteral("modem-sim"));
}

DemoModem::~DemoModem() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(stopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(stopTimeoutMs);
    }
}

std::optional<QString> DemoModem::start(const QString& program, const QStringList& arguments) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Should this program die without its destructors (SIGKILL, a crash), the
    // system asks the simulator to stop, as this destructor would. A program
    // gone before the request was made is seen as a changed parent.
    const pid_t parent = ::getpid();
    m_process.setChildProcessModifier([parent] {
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) {
            ::_exit(1);
        }
    });
    m_process.start(program, arguments, QIODevice::ReadOnly);
    if (!m_process.waitForStarted(startTimeoutMs)) {
        return QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
    }
    while (!m_process.canReadLine()) {
        if (m_process.state() == QProcess::NotRunning ||
            !m_process.waitForReadyRead(startTimeoutMs)) {
            return QStringLiteral("%1 did not name its port").arg(program);
        }
    }
    takeAnnouncements();
    if (m_portPath.isEmpty()) {
        return QStringLiteral("%1 did not name its port").arg(program);
    }
    // Read as it comes, so the path is current when the operator connects and
    // a full pipe never stalls the simulator.
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                     [this] { takeAnnouncements(); });
    return std::nullopt;
}

void DemoModem::takeAnnouncements() {
    while (m_process.canReadLine()) {
        const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        if (!line.isEmpty()) {
            m_portPath = line;
        }
    }
}

std::string DemoPortFinder::findModemPort(TerminalPane& pane) {
    return FixedPortFinder(m_demo.portPath().toStdString()).findModemPort(pane);
}

}  // namespace modem
