#include "ports/telnet.h"

QByteArray TelnetStream::feed(const QByteArray &bytes, const CommandHandler &handler)
{
    QByteArray data;
    data.reserve(bytes.size());
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        switch (m_state) {
        case State::Data:
            if (b == IAC)
                m_state = State::Iac;
            else
                data.append(c);
            break;
        case State::Iac:
            if (b == IAC) {
                data.append(c); // an escaped 0xFF
                m_state = State::Data;
            } else if (b >= WILL) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == SB) {
                m_state = State::SubOption;
            } else {
                m_state = State::Data; // NOP, GA, a stray SE...: nothing to do
            }
            break;
        case State::Verb:
            m_state = State::Data;
            if (handler)
                handler(Command{m_verb, b, {}});
            break;
        case State::SubOption:
            m_sub = Command{SB, b, {}};
            m_state = State::SubData;
            break;
        case State::SubData:
            if (b == IAC)
                m_state = State::SubIac;
            else if (m_sub.payload.size() < maxSubnegotiation)
                m_sub.payload.append(c);
            break;
        case State::SubIac:
            if (b == IAC) {
                if (m_sub.payload.size() < maxSubnegotiation)
                    m_sub.payload.append(c);
                m_state = State::SubData;
            } else if (b == SE) {
                m_state = State::Data;
                if (handler)
                    handler(m_sub);
                m_sub.payload.clear();
            } else {
                // Not a valid end: drop the subnegotiation and read the byte
                // as the command it starts.
                m_sub.payload.clear();
                m_state = State::Iac;
                const QByteArray rest = feed(QByteArray(1, c), handler);
                data.append(rest);
            }
            break;
        }
    }
    return data;
}

QByteArray TelnetStream::escape(const QByteArray &data)
{
    if (!data.contains(char(IAC)))
        return data;
    QByteArray out;
    out.reserve(data.size() + 8);
    for (const char c : data) {
        out.append(c);
        if (quint8(c) == IAC)
            out.append(c);
    }
    return out;
}

QByteArray TelnetStream::option(quint8 verb, quint8 option)
{
    QByteArray out(3, char(IAC));
    out[1] = char(verb);
    out[2] = char(option);
    return out;
}

QByteArray TelnetStream::subnegotiation(quint8 option, const QByteArray &payload)
{
    QByteArray out;
    out.append(char(IAC)).append(char(SB)).append(char(option));
    out.append(escape(payload));
    out.append(char(IAC)).append(char(SE));
    return out;
}

TelnetOptions::TelnetOptions(std::initializer_list<quint8> here,
                             std::initializer_list<quint8> there)
{
    for (const quint8 option : here)
        m_mayHere[option] = true;
    for (const quint8 option : there)
        m_mayThere[option] = true;
}

QByteArray TelnetOptions::ask(quint8 verb, quint8 option)
{
    State &state = verb == TelnetStream::WILL ? m_here[option] : m_there[option];
    if (state != State::Off)
        return {};
    state = State::Asked;
    return TelnetStream::option(verb, option);
}

QByteArray TelnetOptions::receive(quint8 verb, quint8 option)
{
    using T = TelnetStream;
    const bool forHere = verb == T::DO || verb == T::DONT;
    const bool wantsOn = verb == T::DO || verb == T::WILL;
    State &state = forHere ? m_here[option] : m_there[option];
    const bool may = forHere ? m_mayHere[option] : m_mayThere[option];
    const quint8 yes = forHere ? T::WILL : T::DO;
    const quint8 no = forHere ? T::WONT : T::DONT;
    switch (state) {
    case State::Off:
        if (!wantsOn)
            return {};
        if (!may)
            return T::option(no, option);
        state = State::On;
        return T::option(yes, option);
    case State::On:
        if (wantsOn)
            return {};
        state = State::Off;
        return T::option(no, option);
    case State::Asked:
        // The answer to our own request: nothing more to say.
        state = wantsOn ? State::On : State::Off;
        return {};
    }
    return {};
}
