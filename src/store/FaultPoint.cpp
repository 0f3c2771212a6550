#include "store/FaultPoint.h"
#include "core/QuelmarError.h"

#include <QByteArray>
#include <QString>

#include <csignal>

namespace {

struct State {
    int failAt = 0;
    int killAt = 0;
    int passed = 0;
    bool fired = false;
    std::function<void(int, const char*)> handler;
    State()
    {
        failAt = qEnvironmentVariableIntValue("QUELMAR_FAULT_AT");
        killAt = qEnvironmentVariableIntValue("QUELMAR_KILL_AT");
    }
};

State& state()
{
    static State s;
    return s;
}

} // namespace

void FaultPoint(const char* what)
{
    State& s = state();
    if (s.failAt <= 0 && s.killAt <= 0 && !s.handler)
        return;
    ++s.passed;
    if (s.handler)
        s.handler(s.passed, what);
    if (s.killAt > 0 && s.passed == s.killAt)
        std::raise(SIGKILL);
    if (s.failAt > 0 && s.passed == s.failAt) {
        s.fired = true;
        throw QuelmarError(QStringLiteral("在第 %1 步（%2）注入的故障。").arg(s.passed).arg(QString::fromLatin1(what)));
    }
}

namespace FaultInjection {

void arm(int n)
{
    State& s = state();
    s.failAt = n;
    s.passed = 0;
    s.fired = false;
}

void disarm()
{
    arm(0);
}

int passed()
{
    return state().passed;
}

bool fired()
{
    return state().fired;
}

void onEveryPoint(std::function<void(int, const char*)> handler)
{
    State& s = state();
    s.handler = std::move(handler);
    s.passed = 0;
}

}
