#include "app/termination_signals.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>
#include <csignal>

namespace {

using Handler = void (*)(int);

Handler Disposition(int signal)
{
    struct sigaction current = {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

// A signal arriving while the loop runs must end it through quit (exit code 0), not kill the
// process. A repeat of it during teardown (timeout signals the child, then its whole group) must
// not kill it either, so after a signal the guard leaves them ignored; otherwise the default is back.
TEST(TerminationSignals, EachSignalEndsTheEventLoopAndARepeatCannotKillTheTeardown)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        bool timedOut = false;
        {
            velmora::TerminationSignals guard;
            QTimer::singleShot(0, [signal] { std::raise(signal); });
            QTimer deadline;
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, [&timedOut] {
                timedOut = true;
                QCoreApplication::exit(1);
            });
            deadline.start(5000);
            EXPECT_EQ(QCoreApplication::exec(), 0) << signal;
        }
        EXPECT_FALSE(timedOut) << signal;
        EXPECT_EQ(Disposition(signal), SIG_IGN) << signal;
        std::raise(signal);
        {
            velmora::TerminationSignals unused;
        }
        EXPECT_EQ(Disposition(signal), SIG_DFL) << signal;
    }
}

}  // namespace
