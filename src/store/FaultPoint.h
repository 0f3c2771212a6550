#pragma once
#include <functional>

// Fault injection. Every write step of an operation (a row written, a commit, a file created, copied, moved or
// removed) passes a fault point. Normally nothing happens. Armed, the n-th point from then on fails: by a test
// (FaultInjection::arm), or by the environment for a whole process — QUELMAR_FAULT_AT=n throws a QuelmarError at
// the n-th point, QUELMAR_KILL_AT=n kills the process there (SIGKILL), as a power cut would.
void FaultPoint(const char* what);

namespace FaultInjection {
// The `n`-th fault point from now on throws (n >= 1); 0 disarms.
void arm(int n);
void disarm();
// Points passed since the last arm() (or since the start).
int passed();
// Whether the armed fault has fired.
bool fired();
// Runs `handler(n, what)` at every fault point from now on (n counts from 1), before the armed fault; an empty
// function removes it. For tests that make something happen at a chosen step (a connection cut off, say).
void onEveryPoint(std::function<void(int, const char*)> handler);
}
