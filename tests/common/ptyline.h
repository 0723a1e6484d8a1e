#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;
class SimProjector;

// A pseudo-terminal pair standing in for a serial line: the program opens the
// slave device (through the [Ports] map), the test reads and writes the
// master as the projector would.
class PtyLine
{
public:
    PtyLine();
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Maps COM|port| to this line in the settings store.
    void mapAs(int port) const;

    // Bytes the program wrote, collected while the event loop runs until at
    // least |count| bytes are there or |timeoutMs| passed.
    QByteArray read(int count, int timeoutMs = 2000);
    // Everything the program wrote so far, without waiting beyond |settleMs|.
    QByteArray readAvailable(int settleMs = 50);
    // Writes as the projector.
    void write(const QByteArray &bytes);
    // Hangs up: closes the master side.
    void hangUp();

    // Lets |projector| answer whatever arrives, while the event loop runs
    // (read() and write() are then for nothing else).
    void serve(SimProjector *projector);
    // Hands whatever the program writes to |arrived| as it comes, while the
    // event loop runs (read() and write() are then for nothing else).
    void watch(std::function<void(const QByteArray &)> arrived);
    // The line's output speed in baud as the program (or a server bridging
    // it) set it; 0 when unknown.
    int speed() const;

private:
    QByteArray drain();

    int m_master = -1;
    int m_slaveKeep = -1; // keeps the line up between the program's opens
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_served;
};
