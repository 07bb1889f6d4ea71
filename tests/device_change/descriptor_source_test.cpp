// A source that signals through a descriptor: the window dispatches on the GUI thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
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

}  // namespace
