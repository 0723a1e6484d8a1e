#include "sim/projector.h"

namespace {

constexpr char ACK = '\x06';
constexpr qsizetype MaxFrame = 256; // a longer line without CR is noise

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Splits what arrives into commands at each carriage return, keeping an
// unfinished one in |pending| (at most MaxFrame characters), and returns
// the answers of |answer| to the commands completed.
template<typename Answer>
QByteArray frames(QByteArray &pending, const QByteArray &bytes, Answer answer)
{
    QByteArray out;
    for (const char c : bytes) {
        if (c == '\r') {
            out += answer(pending);
            pending.clear();
        } else if (pending.size() < MaxFrame) {
            pending += c;
        }
    }
    return out;
}

} // namespace

SimProjector::SimProjector(QString id)
    : SimProjector(Setup{std::move(id)})
{}

SimProjector::SimProjector(Setup setup)
    : m_setup(std::move(setup))
{}

QByteArray SimProjector::feed(const QByteArray &bytes)
{
    return frames(m_pending, bytes, [this](const QByteArray &frame) { return answer(frame); });
}

QByteArray SimProjector::answer(const QByteArray &frame)
{
    // "A" and three address characters in front of a command word.
    if (frame.size() > 4 && frame[0] == 'A' && isHex(frame[1]) && isHex(frame[2]) && isHex(frame[3])
        && frame[4] == 'C') {
        const QByteArray address = frame.mid(1, 3);
        if (address == "FFF") {
            handle(frame.mid(4));
            return {}; // everyone acts, nobody answers
        }
        return address == m_setup.id.toLatin1() ? handle(frame.mid(4)) : QByteArray();
    }
    return m_setup.answersUnaddressed ? handle(frame) : QByteArray();
}

SimProjector::Power SimProjector::power() const
{
    if ((m_power == Power::CountDown || m_power == Power::Cooling) && m_powerChange.hasExpired())
        return m_power == Power::CountDown ? Power::On : Power::Standby;
    return m_power;
}

bool SimProjector::powerOn() const
{
    const Power now = power();
    return now == Power::On || now == Power::CountDown;
}

QByteArray SimProjector::handle(const QByteArray &command)
{
    m_power = power();
    const bool lit = powerOn();
    if (command == "CR0") {
        switch (m_power) {
        case Power::On:
            return "00\r";
        case Power::CountDown:
            return "40\r";
        case Power::Cooling:
            return "20\r";
        case Power::Standby:
            break;
        }
        return "80\r";
    }
    if (command == "CR1")
        return QByteArray::number(m_input) + '\r';
    if (command == "CR3")
        return QByteArray::number(m_setup.lampHours).rightJustified(5, '0') + '\r';
    if (command == "CR4")
        return "11\r";
    if (command == "CR6")
        return lit ? "035.0 041.5 038.0\r" : "024.0 024.5 024.0\r";
    if (command == "CR7")
        return m_lampFull ? "00\r" : "01\r";
    if (command == "CR9")
        return "1\r";
    if (command == "CRA")
        return "00\r";
    if (command == "CR LAMPSTS")
        return lit ? "000 1I\r" : "000 1O\r";
    if (command == "CR LAMPMODE")
        return m_lampFull ? "000 NORMAL\r" : "000 ECO\r";
    if (command.startsWith("CR "))
        return "?\r";

    if (command == "C00" && !lit) {
        m_power = m_setup.warmMs > 0 ? Power::CountDown : Power::On;
        m_powerChange.setRemainingTime(m_setup.warmMs);
    } else if (command == "C01" && lit) {
        m_power = m_setup.coolMs > 0 ? Power::Cooling : Power::Standby;
        m_powerChange.setRemainingTime(m_setup.coolMs);
    } else if (command.size() == 3 && command[0] == 'C' && command[1] == '0' && command[2] >= '5'
               && command[2] <= '8') {
        m_input = command[2] - '4';
    } else if (command == "CF LAMPMODE FULL") {
        m_lampFull = true;
    } else if (command == "CF LAMPMODE HALF") {
        m_lampFull = false;
    }

    const bool shortCommand =
        command.size() == 3 && command[0] == 'C' && isHex(command[1]) && isHex(command[2]);
    if (shortCommand || command.startsWith("CF "))
        return QByteArray(1, ACK);
    return "?\r";
}

SimLine::SimLine(int line, const QStringList &ids, int warmMs, int coolMs)
{
    m_projectors.reserve(size_t(ids.size()));
    for (qsizetype j = 0; j < ids.size(); ++j) {
        const int k = int(line * ids.size() + j);
        m_projectors.emplace_back(
            SimProjector::Setup{ids[j], (1234 + 111 * k) % 100000, warmMs, coolMs, j == 0});
    }
}

QByteArray SimLine::feed(const QByteArray &bytes)
{
    return frames(m_pending, bytes, [this](const QByteArray &frame) {
        QByteArray out;
        for (SimProjector &projector : m_projectors)
            out += projector.answer(frame);
        return out;
    });
}
