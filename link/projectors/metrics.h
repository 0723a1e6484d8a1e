#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>

// What is known of one projector after a poll round, for the metrics file.
struct ProjectorMetrics {
    QString name;          // the projector's name in the venue
    bool answered = false; // whether it answered its last poll
    // "on", "standby", "countdown", "cooling", "power-fault",
    // "temperature-fault", "lamp-fault" or "unknown" (it answered with a
    // state of no known meaning); nullopt when not known.
    std::optional<QString> power;
    std::optional<int> lampHours;
    std::optional<std::array<double, 3>> temperatures; // degrees Celsius
    std::optional<QDateTime> lastAnswer;
    // Exchanges since the watcher started, by their result.
    quint64 answeredTotal = 0, noAnswerTotal = 0, portFailedTotal = 0;
};

// The venue's state in the Prometheus text format, for node_exporter's
// textfile collector.
namespace Metrics {

// One family per quantity, each with its help and type, and the projectors'
// series in the order given. Every series carries the label projector="…".
// A value that is not known leaves its series out, except the power state,
// whose series are all 0 then.
QByteArray text(const QList<ProjectorMetrics> &projectors);

// Replaces the file at |path| with |text| in one step: the text goes to a
// temporary file in the same folder, is flushed to the disk, and is renamed
// over the file, so that a reader sees the old file or the new one, never
// part of one. False, with |error| saying why, when it cannot; the file is
// then left as it was and no temporary file remains.
bool write(const QString &path, const QByteArray &text, QString *error);

} // namespace Metrics
