#pragma once
#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

// Repaints a window during long work on the user-interface thread (the splash while the trees load, the main window
// while the template tree loads) without letting the repaints cost more than the work: `tick()`, called after each
// step of the work, repaints at most once per interval; `now()` repaints at once (between the named steps, after a
// status text changed). Each repaint also handles the pending non-input events, so the window stays drawn.
class RepaintThrottle {
public:
    static constexpr int DefaultIntervalMs = 50;

    explicit RepaintThrottle(QWidget* window, int intervalMs = DefaultIntervalMs);

    void tick();
    void now();
    // How many repaints were made (for tests and benchmarks).
    int repaints() const { return m_repaints; }

private:
    QPointer<QWidget> m_window;
    int m_interval;
    QElapsedTimer m_since;
    int m_repaints = 0;
};
