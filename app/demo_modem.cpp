#include "app/demo_modem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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
    m_portPath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (m_portPath.isEmpty()) {
        return QStringLiteral("%1 did not name its port").arg(program);
    }
    // Whatever else it prints is read and dropped, so a full pipe never stalls it.
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                     [this] { static_cast<void>(m_process.readAllStandardOutput()); });
    return std::nullopt;
}

}  // namespace modem
