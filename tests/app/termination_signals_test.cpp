#include "app/termination_signals.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>
#include <csignal>

namespace {

// A signal arriving while the loop runs must end it through quit (exit code 0), not kill the
// process; once the guard is gone the default disposition is back.
TEST(TerminationSignals, EachSignalEndsTheEventLoopAndTheDefaultComesBack)
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
        struct sigaction current = {};
        sigaction(signal, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signal;
    }
}

}  // namespace
