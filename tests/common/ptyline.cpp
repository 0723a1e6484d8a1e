#include "common/ptyline.h"

#include "sim/projector.h"
#include "sim/rawpty.h"
#include "store/settingsstore.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTest>

#include <termios.h>
#include <unistd.h>

PtyLine::PtyLine()
{
    RawPty pty;
    if (!pty.open())
        return;
    m_master = pty.master;
    m_slaveKeep = pty.slave;
    m_slavePath = pty.slavePath;
}

PtyLine::~PtyLine()
{
    hangUp();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void PtyLine::mapAs(int port) const
{
    SettingsStore::save(QStringLiteral("ORVA"), QStringLiteral("Ports"),
                        QStringLiteral("COM%1").arg(port), m_slavePath);
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

void PtyLine::serve(SimProjector *projector)
{
    watch([this, projector](const QByteArray &bytes) { write(projector->feed(bytes)); });
}

void PtyLine::watch(std::function<void(const QByteArray &)> arrived)
{
    m_served = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    QObject::connect(m_served.get(), &QSocketNotifier::activated,
                     [this, arrived = std::move(arrived)]() { arrived(drain()); });
}

int PtyLine::speed() const
{
    termios t{};
    if (m_slaveKeep < 0 || tcgetattr(m_slaveKeep, &t) != 0)
        return 0;
    switch (cfgetospeed(&t)) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

void PtyLine::hangUp()
{
    m_served.reset();
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
