#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringView>

// A log of everything that goes over the lines, one line of text per chunk
// sent or received and per open, close, loss and reopening, appended to a
// file as it happens. Each line holds five fields separated by tabs:
//
//   time    local, ISO 8601 with milliseconds and UTC offset
//           (2026-12-07T22:00:01.123+01:00)
//   name    the projector's name or the port (COM3)
//   event   sent, received, open, close, lost or reconnect
//   text    sent, received: the readable form the window shows
//           ("A 0 0 2 C R 0 [CR]"); the others: the device or the reason
//   hex     sent, received: the bytes in hex ("41 30 30 32 43 52 30 0D");
//           empty for the others
//
// No field holds a tab or a line break (any is written as a blank). Each
// line is written whole with one write, without waiting: should the file
// not take it (not writable, full, a pipe nobody reads), standard error says
// so once and logging ends, while the line goes on.
class LineLog
{
    Q_DECLARE_TR_FUNCTIONS(LineLog)

public:
    enum class Event { Sent, Received, Open, Close, Lost, Reconnect };

    // Opens |path| for appending (creating it); a failure is told at once.
    explicit LineLog(const QString &path);

    // Whether lines still go to the file.
    bool isOpen() const { return m_file.isOpen(); }
    const QString &path() const { return m_path; }

    // |bytes| (one character a byte) went out (Sent) or came in (Received)
    // on the line of |name|; nothing for an empty chunk.
    void chunk(const QString &name, Event event, QStringView bytes);
    // An open, close, loss or reopening, with the device or the reason.
    void event(const QString &name, Event event, const QString &detail);

    // "2026-12-07T22:00:01.123+01:00"
    static QString timeText(const QDateTime &local);

private:
    void write(const QString &name, Event event, const QString &text, const QString &hex);
    void fail(const QString &why);

    QString m_path;
    QFile m_file;
};
