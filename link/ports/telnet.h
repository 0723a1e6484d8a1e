#pragma once

#include <QByteArray>

#include <functional>
#include <initializer_list>

// The Telnet byte stream of a network serial line (RFC 854 framing with the
// COM-PORT-CONTROL option of RFC 2217): received bytes are split into the
// line's data and the commands the server interleaves with it; data to send
// has its 0xFF bytes doubled.
class TelnetStream
{
public:
    static constexpr quint8 IAC = 255;
    static constexpr quint8 DONT = 254;
    static constexpr quint8 DO = 253;
    static constexpr quint8 WONT = 252;
    static constexpr quint8 WILL = 251;
    static constexpr quint8 SB = 250;
    static constexpr quint8 SE = 240;

    static constexpr quint8 optBinary = 0;
    static constexpr quint8 optEcho = 1;
    static constexpr quint8 optSuppressGoAhead = 3;
    static constexpr quint8 optComPort = 44;

    // Longest subnegotiation kept; longer ones are cut to this length.
    static constexpr int maxSubnegotiation = 64;

    // A command taken out of the stream: an option verb (DO, DONT, WILL,
    // WONT) with its option, or a subnegotiation (verb SB) with its payload,
    // unescaped. Other commands (NOP, GA, ...) are dropped.
    struct Command {
        quint8 verb = 0;
        quint8 option = 0;
        QByteArray payload;
    };
    using CommandHandler = std::function<void(const Command &)>;

    // Feeds received bytes; returns the data among them and calls |handler|
    // for each command they complete. A command may span calls.
    QByteArray feed(const QByteArray &bytes, const CommandHandler &handler);

    // |data| with each 0xFF doubled.
    static QByteArray escape(const QByteArray &data);
    static QByteArray option(quint8 verb, quint8 option);
    static QByteArray subnegotiation(quint8 option, const QByteArray &payload);

private:
    enum class State { Data, Iac, Verb, SubOption, SubData, SubIac };

    State m_state = State::Data;
    quint8 m_verb = 0;
    Command m_sub;
};

// Option negotiation by the Q method of RFC 1143. Each option is off, on, or
// asked for and not yet answered, on this side ("here") and on the server's
// ("there"). Only a real change of state is answered; a request for the state
// already in effect, or the answer to one of our own requests, gets no
// answer, so that two parties never answer each other's answers for ever.
class TelnetOptions
{
public:
    enum class State : quint8 { Off, On, Asked };

    // |here|: the options this side takes on when the server asks (DO);
    // |there|: those it lets the server take on (WILL). All others are
    // refused.
    TelnetOptions(std::initializer_list<quint8> here, std::initializer_list<quint8> there);

    // Asks for |option| to be on here (WILL) or there (DO): the request to
    // send, empty when it is on or asked for already.
    QByteArray ask(quint8 verb, quint8 option);
    // A received DO, DONT, WILL or WONT: the answer to send, often none.
    QByteArray receive(quint8 verb, quint8 option);

    State here(quint8 option) const { return m_here[option]; }

private:
    bool m_mayHere[256] = {};
    bool m_mayThere[256] = {};
    State m_here[256] = {};
    State m_there[256] = {};
};
