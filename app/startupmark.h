#pragma once

class QWidget;

// For start-up benchmarks: when the environment variable ORVA_STARTUP_MARK
// holds an open file descriptor, the moment |window| is first on screen (its
// first paint has been done and flushed to the display) is written there as
// CLOCK_MONOTONIC nanoseconds and a newline. Without the variable nothing
// happens.
namespace StartupMark {

void watch(QWidget *window);

} // namespace StartupMark
