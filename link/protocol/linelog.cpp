#include "protocol/linelog.h"

#include "protocol/render.h"

#include <cstdio>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#endif

namespace {

QString fieldText(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

QLatin1StringView eventWord(LineLog::Event event)
{
    switch (event) {
    case LineLog::Event::Sent:
        return QLatin1StringView("sent");
    case LineLog::Event::Received:
        return QLatin1StringView("received");
    case LineLog::Event::Open:
        return QLatin1StringView("open");
    case LineLog::Event::Close:
        return QLatin1StringView("close");
    case LineLog::Event::Lost:
        return QLatin1StringView("lost");
    case LineLog::Event::Reconnect:
        break;
    }
    return QLatin1StringView("reconnect");
}

} // namespace

LineLog::LineLog(const QString &path)
    : m_path(path)
{
#ifndef Q_OS_WIN
    // Never blocking: a pipe that is not read fails the write rather than
    // holding up the line.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_file.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                QFileDevice::AutoCloseHandle);
#else
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        fail(m_file.errorString());
#endif
}

QString LineLog::timeText(const QDateTime &local)
{
    const int offset = local.offsetFromUtc() / 60;
    const int minutes = qAbs(offset);
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
           + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
           + QStringLiteral("%1:%2")
                 .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                 .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void LineLog::chunk(const QString &name, Event event, QStringView bytes)
{
    if (bytes.isEmpty() || !isOpen())
        return;
    QString hex;
    hex.reserve(bytes.size() * 3);
    for (const QChar c : bytes) {
        if (!hex.isEmpty())
            hex += QLatin1Char(' ');
        hex += QStringLiteral("%1").arg(c.unicode() & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    }
    write(name, event, Render::render(bytes).trimmed(), hex);
}

void LineLog::event(const QString &name, Event event, const QString &detail)
{
    write(name, event, detail, QString());
}

void LineLog::write(const QString &name, Event event, const QString &text, const QString &hex)
{
    if (!isOpen())
        return;
    const QString line = timeText(QDateTime::currentDateTime()) + QLatin1Char('\t')
                         + fieldText(name) + QLatin1Char('\t') + eventWord(event)
                         + QLatin1Char('\t') + fieldText(text) + QLatin1Char('\t') + hex
                         + QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    if (m_file.write(bytes) != bytes.size())
        fail(m_file.errorString());
}

void LineLog::fail(const QString &why)
{
    m_file.close();
    std::fprintf(
        stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
        qPrintable(tr("the log %1 cannot be written (%2); going on without it.").arg(m_path, why)));
    std::fflush(stderr);
}
