#include "sim/projector.h"

namespace {

constexpr char ACK = '\x06';
constexpr qsizetype MaxFrame = 256; // a longer line without CR is noise

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

SimProjector::SimProjector(QString id)
    : m_id(std::move(id))
{}

QByteArray SimProjector::feed(const QByteArray &bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        if (c == '\r') {
            out += answer(m_pending);
            m_pending.clear();
        } else if (m_pending.size() < MaxFrame) {
            m_pending += c;
        }
    }
    return out;
}

QByteArray SimProjector::answer(const QByteArray &frame)
{
    // "A" and three address characters in front of a command word.
    if (frame.size() > 4 && frame[0] == 'A' && isHex(frame[1]) && isHex(frame[2]) && isHex(frame[3])
        && frame[4] == 'C') {
        const QByteArray address = frame.mid(1, 3);
        const QByteArray reply = handle(frame.mid(4));
        if (address == "FFF")
            return {}; // everyone acts, nobody answers
        return address == m_id.toLatin1() ? reply : QByteArray();
    }
    return handle(frame);
}

QByteArray SimProjector::handle(const QByteArray &command)
{
    if (command == "CR0")
        return m_powerOn ? "00\r" : "80\r";
    if (command == "CR1")
        return QByteArray::number(m_input) + '\r';
    if (command == "CR3")
        return QByteArray::number(m_lampHours).rightJustified(5, '0') + '\r';
    if (command == "CR4")
        return "11\r";
    if (command == "CR6")
        return m_powerOn ? "035.0 041.5 038.0\r" : "024.0 024.5 024.0\r";
    if (command == "CR7")
        return m_lampFull ? "00\r" : "01\r";
    if (command == "CR9")
        return "1\r";
    if (command == "CRA")
        return "00\r";
    if (command == "CR LAMPSTS")
        return m_powerOn ? "000 1I\r" : "000 1O\r";
    if (command == "CR LAMPMODE")
        return m_lampFull ? "000 NORMAL\r" : "000 ECO\r";
    if (command.startsWith("CR "))
        return "?\r";

    if (command == "C00")
        m_powerOn = true;
    else if (command == "C01")
        m_powerOn = false;
    else if (command.size() == 3 && command[0] == 'C' && command[1] == '0' && command[2] >= '5'
             && command[2] <= '8')
        m_input = command[2] - '4';
    else if (command == "CF LAMPMODE FULL")
        m_lampFull = true;
    else if (command == "CF LAMPMODE HALF")
        m_lampFull = false;

    const bool shortCommand =
        command.size() == 3 && command[0] == 'C' && isHex(command[1]) && isHex(command[2]);
    if (shortCommand || command.startsWith("CF "))
        return QByteArray(1, ACK);
    return "?\r";
}
