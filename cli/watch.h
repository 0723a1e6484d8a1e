#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// orvactl watch: keeps watching projectors of the venue until SIGINT or
// SIGTERM, and prints one line per change.
struct WatchOptions {
    QStringList names; // the projectors to watch; empty: all of them
    int intervalMs = 60000;
    int timeoutMs = 1000;
    std::optional<int> lampWarnHours;
    bool json = false;
    QString logPath;     // empty: no log
    QString metricsPath; // empty: no metrics file
    // PJLink for the projectors with a pjlink= port.
    bool pjlink = false;
    QString pjlinkListen = QStringLiteral("127.0.0.1");
    QString pjlinkPassword; // for those without their own; empty for none
    bool pjlinkNoPassword = false;
};

// Runs until a stop signal; returns the exit status.
int watch(const WatchOptions &options);
