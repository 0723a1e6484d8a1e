#include "ptyline.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyLine::PtyLine()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    m_master = master;
    m_slaveKeep = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyLine::~PtyLine()
{
    hangUp();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void PtyLine::mapAs(int port) const
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ORVA"));
    s.setValue(QStringLiteral("Ports/COM%1").arg(port), m_slavePath);
    s.sync();
}

QByteArray PtyLine::drain()
{
    QByteArray out;
    if (m_master < 0)
        return out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

QByteArray PtyLine::read(int count, int timeoutMs)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += drain();
        if (out.size() < count)
            QTest::qSleep(2);
    }
    return out;
}

QByteArray PtyLine::readAvailable(int settleMs)
{
    QByteArray out;
    QDeadlineTimer deadline(settleMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += drain();
        QTest::qSleep(2);
    }
    return out + drain();
}

void PtyLine::write(const QByteArray &bytes)
{
    if (m_master >= 0)
        (void)!::write(m_master, bytes.constData(), size_t(bytes.size()));
}

void PtyLine::hangUp()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
