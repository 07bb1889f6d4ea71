// A source that signals through a descriptor: the window dispatches on the GUI thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QSocketNotifier>
#include <QTest>
#include <memory>

#include "app/velmora.h"
#include "tests/device_change/scripted_backend.h"
#include "tests/support/debug_capture.h"

namespace {

using device_change_test::ScriptedBackend;

TEST(DescriptorSourceTest, ReadableDescriptorDispatchesOnTheGuiThread)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    auto backend = std::make_shared<ScriptedBackend>(
        std::make_shared<velmora::sim::SimBackend>(velmora::sim::DefaultSimWorld()));
    backend->Script().descriptor = pipeEnds[0];
    int dispatches = 0;
    backend->Script().dispatch = [&] {
        char byte;
        while (read(pipeEnds[0], &byte, 1) == 1 && byte != '\n') {
        }
        ++dispatches;
        velmora::DeviceChangeEvent event;
        event.kind = velmora::DeviceChangeKind::RemoveComplete;
        event.recordType = velmora::DeviceRecordInterface;
        event.interfaceName = backend->Sim().Cameras().at(0)->Config().devicePath.value();
        backend->Sim().Cameras().at(0)->SetPlugged(false);
        backend->Script().sink(event);
    };
    velmora::InstallBackend(backend);
    {
        Velmora window;
        ASSERT_EQ(window.Form().DeviceList->count(), 2);
        QTest::qWait(20);
        EXPECT_EQ(dispatches, 0) << "nothing to dispatch before the descriptor turns readable";
        DebugCapture capture;
        ASSERT_EQ(write(pipeEnds[1], "x\n", 2), 2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return dispatches == 1; }, 2000));
        EXPECT_EQ(window.Form().DeviceList->count(), 1);
        EXPECT_TRUE(capture.Lines().contains(QString::fromUtf8("USB视频设备移除！")));
    }
    velmora::InstallBackend(nullptr);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

// The watcher calls into the source and watches the source's descriptor: it must be gone before
// the source is, or an event between the two would reach a destroyed source.
TEST(DescriptorSourceTest, TheWatcherGoesBeforeTheSourceItCallsInto)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    auto backend = std::make_shared<ScriptedBackend>(
        std::make_shared<velmora::sim::SimBackend>(velmora::sim::DefaultSimWorld()));
    backend->Script().descriptor = pipeEnds[0];
    int watchersLeft = -1;
    velmora::InstallBackend(backend);
    {
        Velmora window;
        const QObject* owner = &window;
        auto watchers = [owner, descriptor = pipeEnds[0]] {
            int count = 0;
            for (const QSocketNotifier* notifier : owner->findChildren<QSocketNotifier*>())
                count += notifier->socket() == descriptor;
            return count;
        };
        ASSERT_EQ(watchers(), 1);
        backend->Script().destroyed = [&watchersLeft, watchers] { watchersLeft = watchers(); };
    }
    EXPECT_EQ(watchersLeft, 0);
    backend->Script().destroyed = nullptr;
    velmora::InstallBackend(nullptr);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

}  // namespace
