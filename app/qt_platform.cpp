#include "app/qt_platform.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace modem {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// exec() would make the box application-modal; a local loop waits for its
// answer while leaving the dialog as usable as a box without owner leaves it.
void runUntilFinished(QMessageBox& box) {
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    box.raise();
    box.activateWindow();
    loop.exec();
}

}  // namespace

void QtMessageBox::show(std::string_view text, std::string_view caption, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    fromUtf8(caption), fromUtf8(text), QMessageBox::Ok);
    runUntilFinished(box);
}

Answer QtMessageBox::ask(std::string_view text, std::string_view caption) {
    QMessageBox box(QMessageBox::Warning, fromUtf8(caption), fromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No);
    // Enter takes No; Escape and the close box press it.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    runUntilFinished(box);
    return box.clickedButton() == box.button(QMessageBox::Yes) ? Answer::Yes : Answer::No;
}

std::optional<std::filesystem::path> QtFileChooser::choose(FileDialogKind kind) {
    const bool save = kind == FileDialogKind::Save;
    QFileDialog dialog(QApplication::activeWindow(),
                       save ? QStringLiteral("Save") : QStringLiteral("Load"));
    dialog.setNameFilter(QStringLiteral("Modem cfg Files (*.cfg)"));
    dialog.setDefaultSuffix(QStringLiteral("cfg"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

QtTimer::QtTimer() {
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        // Copied first: the callback may restart the timer with a new one.
        const std::function<void()> expired = m_onExpired;
        if (expired) {
            expired();
        }
    });
}

void QtTimer::start(std::chrono::milliseconds delay, std::function<void()> onExpired) {
    m_onExpired = std::move(onExpired);
    m_timer.start(delay);
}

void QtTimer::stop() {
    m_timer.stop();
}

bool QtTimer::isActive() const {
    return m_timer.isActive();
}

void QtDispatcher::post(std::function<void()> task) {
    QMetaObject::invokeMethod(
        this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

}  // namespace modem
