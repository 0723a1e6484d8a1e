#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <vector>

// A simulated projector: takes the bytes a controller writes and returns the
// bytes a projector would answer. Commands end with a carriage return and
// may carry an address ("A001".."A004", or "AFFF" for all projectors).
class SimProjector
{
public:
    struct Setup {
        QString id = QStringLiteral("001"); // its address, three characters
        int lampHours = 1234;
        // After C00 the power state reads "count down" this long before it
        // is on; after C01 "cooling down" this long before stand-by. 0: at
        // once.
        int warmMs = 0;
        int coolMs = 0;
        // False: a command without an address is not for this projector (it
        // shares the line with one that answers those).
        bool answersUnaddressed = true;
    };

    explicit SimProjector(QString id = QStringLiteral("001"));
    explicit SimProjector(Setup setup);

    // Feeds received bytes; returns what the projector answers to every
    // command they complete.
    QByteArray feed(const QByteArray &bytes);
    // Another controller takes the line: a command the previous one left
    // unfinished is dropped. The projector's own state stays.
    void newClient() { m_pending.clear(); }

    // The answer to one command (without its carriage return); empty when
    // the command is not for this projector or is addressed to all.
    QByteArray answer(const QByteArray &frame);

    // The lamp is lit: on, or counting down to on.
    bool powerOn() const;
    int input() const { return m_input; }

private:
    enum class Power : quint8 { Standby, CountDown, On, Cooling };
    // The power state now: a count-down or cool-down that has run out has
    // ended.
    Power power() const;
    QByteArray handle(const QByteArray &command);

    Setup m_setup;
    QByteArray m_pending;
    Power m_power = Power::Standby;
    QDeadlineTimer m_powerChange; // when a count-down or cool-down ends
    int m_input = 1;
    bool m_lampFull = true;
};

// Several projectors daisy-chained on one line, each with its own address
// and state. A command addressed to one reaches it alone; one addressed to
// all (AFFF) reaches every one and none answers; one without an address is
// the first projector's alone, so that two answers never collide.
class SimLine
{
public:
    // Line |line| (from 0) of several alike, one projector per address in
    // |ids|. The k-th projector of all, counted line by line, has 1234 + 111k
    // lamp hours (five digits at most), so that the answers differ.
    SimLine(int line, const QStringList &ids, int warmMs = 0, int coolMs = 0);

    QByteArray feed(const QByteArray &bytes);
    void newClient() { m_pending.clear(); }

private:
    std::vector<SimProjector> m_projectors;
    QByteArray m_pending;
};
