#include "app/RepaintThrottle.h"

#include <QApplication>

RepaintThrottle::RepaintThrottle(QWidget* window, int intervalMs) : m_window(window), m_interval(intervalMs)
{
}

void RepaintThrottle::tick()
{
    // The first step of the work is always shown (it follows a fetch or a changed text).
    if (!m_since.isValid() || m_since.elapsed() >= m_interval)
        now();
}

void RepaintThrottle::now()
{
    if (!m_window)
        return;
    m_window->repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ++m_repaints;
    m_since.restart();
}
