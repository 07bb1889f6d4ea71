#include "app/termination_signals.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

using Handler = void (*)(int);

Handler Disposition(int signal)
{
    struct sigaction current = {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

// A signal arriving while the loop runs closes once through the guard's callback (exit code 0),
// not by killing the process. A repeat of it during teardown (timeout signals the child, then its
// whole group) is absorbed, also once the guard is gone.
TEST(TerminationSignals, EachSignalClosesOnceAndARepeatAtOnceIsAbsorbed)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        int closes = 0;
        {
            velmora::TerminationSignals guard([&closes] {
                ++closes;
                QTimer::singleShot(20, [] { QCoreApplication::exit(0); });
            });
            QTimer::singleShot(0, [signal] {
                std::raise(signal);
                std::raise(signal);
            });
            QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
            EXPECT_EQ(QCoreApplication::exec(), 0) << signal;
        }
        EXPECT_EQ(closes, 1) << signal;
        std::raise(signal);
    }
}

// A user pressing Ctrl-C again at a teardown that hangs ends the process.
TEST(TerminationSignals, ARepeatAfterAMomentEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            velmora::TerminationSignals guard([] {});
            std::raise(SIGINT);
            std::this_thread::sleep_for(
                std::chrono::milliseconds(velmora::StopSignals::kRepeatGraceMs + 200));
            std::raise(SIGINT);
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGINT), "");
}

// nohup's SIGHUP stays ignored; what the guard took over it gives back.
TEST(TerminationSignals, AnIgnoredSignalStaysIgnored)
{
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGTERM, SIG_DFL);
    {
        velmora::TerminationSignals guard([] {});
        EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
        EXPECT_NE(Disposition(SIGTERM), SIG_DFL);
    }
    EXPECT_EQ(Disposition(SIGHUP), SIG_IGN);
    EXPECT_EQ(Disposition(SIGTERM), SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
}

}  // namespace
