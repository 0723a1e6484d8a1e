#include "ports/reconnect.h"

#include "ports/portmap.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

Reconnector::Reconnector(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Reconnector::tryNow);
}

void Reconnector::start(const QString &device)
{
    stop();
    m_device = device;
    m_active = true;
    const bool flapping = m_sinceSuccess.isValid() && m_sinceSuccess.elapsed() < LastDelayMs;
    m_stepMs = flapping ? qMin(m_stepMs * 2, LastDelayMs) : FirstDelayMs;
    m_sinceSuccess.invalidate();
    const QString folder =
        QDir::cleanPath(QFileInfo(PortMap::usbAdapterFolder()).absoluteFilePath());
    if (!device.isEmpty() && QFileInfo(device).absolutePath() == folder) {
        m_folder = folder;
        // Created lazily: most lines are not USB adapters, and a watcher
        // holds an inotify instance.
        if (!m_watcher) {
            m_watcher = new QFileSystemWatcher(this);
            connect(m_watcher, &QFileSystemWatcher::directoryChanged, this,
                    &Reconnector::folderChanged);
        }
        m_present = QFileInfo::exists(device);
        watchFolder();
    }
    schedule();
}

void Reconnector::stop()
{
    m_active = false;
    m_timer.stop();
    m_folder.clear();
    if (m_watcher && !m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
}

void Reconnector::succeeded()
{
    stop();
    m_sinceSuccess.start();
}

void Reconnector::failed()
{
    if (!m_active)
        return;
    m_stepMs = qMin(m_stepMs * 2, LastDelayMs);
    schedule();
}

void Reconnector::schedule()
{
    const int spread = m_stepMs * JitterPercent / 100;
    const int delay = m_stepMs - spread + int(QRandomGenerator::global()->bounded(2 * spread + 1));
    m_timer.start(delay);
}

void Reconnector::watchFolder()
{
    // The system removes the folder with its last adapter: then the nearest
    // folder above it that exists is watched until the folder is back.
    QString folder = m_folder;
    while (!QFileInfo(folder).isDir() && QFileInfo(folder).absolutePath() != folder)
        folder = QFileInfo(folder).absolutePath();
    const QStringList watched = m_watcher->directories();
    if (watched == QStringList{folder})
        return;
    if (!watched.isEmpty())
        m_watcher->removePaths(watched);
    m_watcher->addPath(folder);
}

void Reconnector::folderChanged()
{
    if (m_folder.isEmpty())
        return;
    watchFolder();
    const bool present = QFileInfo::exists(m_device);
    const bool back = present && !m_present;
    m_present = present;
    if (back) {
        m_timer.stop();
        emit tryNow();
    }
}
