#pragma once

#include <QJsonObject>
#include <QString>

#include <array>
#include <optional>

// A projector's state as values a script can compare and add up, decoded
// from the replies to the status queries by the same rows as the status
// words. A value that did not come back is nothing; a reply that came but
// matches no row is "unknown" (power, input) or nothing (numbers).
struct ProjectorState {
    std::optional<QString> power; // "on","standby","countdown","cooling","power-fault",
                                  // "temperature-fault","lamp-fault","unknown"; nullopt = no reply
    std::optional<QString> input; // "1","2","3","wired","wireless","unknown"; nullopt = no reply
    std::optional<int> lampHours; // nullopt = no reply or not readable
    std::optional<std::array<double, 3>> temperatures; // °C; nullopt = no reply or not readable

    // Takes the reply |reply| (raw text, one char per byte, as Exchange::reply())
    // to the query word |query| ("CR0","CR1","CR3","CR6"); other words are
    // ignored. An empty reply is no reply.
    void take(const QString &query, const QString &reply);
    // "on, input 2, lamp 1234 h, 35.0/41.5/38.0 °C"; a missing value is "?"
    // (e.g. "?, input ?, lamp ? h, ?/?/? °C").
    QString text() const;
    // {"power":…, "input":…, "lampHours":…, "temperatures":[…]}, null for each
    // missing value.
    QJsonObject json() const;
    bool operator==(const ProjectorState &) const = default;
};
