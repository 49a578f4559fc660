// An opt-in profile of the start-up, for scripts/bench-startup: with
// QP_STARTUP_TRACE naming a file, each mark appends one line
//   <phase> <performance counter> <working set in bytes, or ->
// which says that <phase> ended at that moment. The counter is the system's
// QueryPerformanceCounter, so that the process that started this one can
// measure from its own CreateProcess. The variable is read at the first mark;
// without it every later mark returns at once.
#pragma once

#include <cstdint>

void traceMark(const char* phase);

// A phase that ended at `counter` (a QueryPerformanceCounter value taken
// earlier), for times that a library reports after the fact. No working set.
void traceMarkAt(const char* phase, std::int64_t counter);

// True when the trace is on; for marks that cost something to compute.
bool tracing();
