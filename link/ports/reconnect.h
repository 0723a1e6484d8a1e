#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// When to try a lost or unopenable line again. After start() it asks for a
// try (tryNow) after 1 s, and after each failed try waits twice as long, up
// to 60 s, each wait varied by up to a fifth either way so that many lines
// lost together do not come back in step. Nothing runs between tries: one
// single-shot timer waits.
//
// A device reached through a stable USB adapter name (a link in
// PortMap::usbAdapterFolder()) is also tried at once when that very name
// comes back: the folder is watched (inotify), never polled. Only that name
// counts, never whichever adapter now stands in its place.
//
// The owner opens the line when asked and tells how it went: succeeded()
// ends the tries, failed() waits for the next step. A line lost again
// within LastDelayMs of a success goes on from the step it had (a server
// that takes each connection and drops it at once is not asked every
// second); one that stayed up longer starts from the first step.
class Reconnector : public QObject
{
    Q_OBJECT

public:
    static constexpr int FirstDelayMs = 1000;
    static constexpr int LastDelayMs = 60000;
    // How far each wait may lie from its step, in percent either way.
    static constexpr int JitterPercent = 20;

    explicit Reconnector(QObject *parent = nullptr);

    // Starts trying |device| (a device path, an adapter's stable name or a
    // network address), from the first step.
    void start(const QString &device);
    // No more tries until the next start.
    void stop();
    // The owner's try opened the line: the tries end.
    void succeeded();
    // The owner's try failed: the next one after a longer wait.
    void failed();

    bool active() const { return m_active; }
    const QString &device() const { return m_device; }
    // The step in force, before jitter.
    int stepMs() const { return m_stepMs; }

signals:
    void tryNow();

private:
    void schedule();
    void watchFolder();
    void folderChanged();

    QString m_device;
    // The stable-name folder that holds m_device; empty for other devices.
    QString m_folder;
    bool m_active = false;
    bool m_present = false;
    int m_stepMs = FirstDelayMs;
    QTimer m_timer{this};
    QElapsedTimer m_sinceSuccess;
    QFileSystemWatcher *m_watcher = nullptr;
};
