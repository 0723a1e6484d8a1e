#pragma once

#include <thread>

// Work that the toolkit would otherwise do on the main thread while the
// window is being made, started on a second thread before the application
// object exists:
//
// - connecting to the session bus: the toolkit's accessibility bridge
//   connects as soon as the first control is made and waits for the answer.
//   Where no bus address is set (an X server without a desktop session),
//   the connection first starts a helper that finds or launches the bus,
//   which takes longer than making the whole window. The bridge then finds
//   the connection open, or waits only for the rest of it;
// - loading the font configuration, which the first paint needs and which
//   is the largest single piece of work before it.
//
// Both leave the result where the toolkit looks for it (the process's
// shared session-bus connection; the library's current configuration), so
// nothing else changes: if the thread is late, the toolkit waits for the
// same connection or loads the configuration itself.
class StartupWarmUp
{
public:
    StartupWarmUp();
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp &) = delete;
    StartupWarmUp &operator=(const StartupWarmUp &) = delete;

    // Returns once the thread is done (at once if none was started).
    void wait();

private:
    std::thread m_thread;
};
