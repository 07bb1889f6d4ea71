// A watched folder of *.camera files: files coming and going plug and pull simulated cameras while
// the window runs, through the source's descriptor.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <poll.h>
#include <sys/inotify.h>

#include "app/velmora.h"
#include "platform/sim/sim_backend.h"
#include "platform/sim/sim_hotplug.h"
#include "tests/device_change/scripted_backend.h"
#include "tests/support/debug_capture.h"

namespace {

using device_change_test::Labels;

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(content), content.size());
}

QByteArray CameraFile(const char* name, const char* vidPid)
{
    return QByteArray("# plugged by a test\n[camera]\nname = ") + name + "\npath = \\\\?\\usb#" + vidPid +
           "&mi_00#6&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global\n";
}

TEST(SimHotplugFolderTest, FilesComingAndGoingPlugAndPullCameras)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    WriteFile(folder.filePath("a.camera"), CameraFile("Early Camera", "vid_1111&pid_0001"));
    WriteFile(folder.filePath("notes.txt"), "not a camera");

    auto sim = std::make_shared<velmora::sim::SimBackend>(velmora::sim::DefaultSimWorld());
    std::string error;
    ASSERT_TRUE(sim->WatchHotplugFolder(folder.path().toStdString(), error)) << error;
    velmora::InstallBackend(sim);
    {
        Velmora window;
        QComboBox& list = *window.Form().DeviceList;
        EXPECT_EQ(Labels(list),
                  QStringList({"USB Camera    VID_ABCD&PID_EF01", "Conference Camera    VID_1B3F&PID_2247",
                               "Early Camera    VID_1111&PID_0001"}))
            << "a file already there is a camera already plugged in";

        DebugCapture capture;
        WriteFile(folder.filePath("b.camera"), CameraFile("Late Camera", "vid_2222&pid_0002"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() == 4; }, 3000));
        EXPECT_EQ(list.itemText(3), "Late Camera    VID_2222&PID_0002");
        EXPECT_EQ(list.currentIndex(), 0);
        EXPECT_TRUE(capture.Lines().contains("65E8773D-8F56-11D0-A3B9-00A0C9223196"));

        ASSERT_TRUE(QFile::remove(folder.filePath("a.camera")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() == 3; }, 3000));
        EXPECT_FALSE(Labels(list).join('\n').contains("Early Camera"));
        EXPECT_TRUE(capture.Lines().contains(QString::fromUtf8("USB视频设备移除！")));

        // Rewritten: the camera is pulled and plugged again as the file now says.
        WriteFile(folder.filePath("b.camera"), CameraFile("Renamed Camera", "vid_2222&pid_0002"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.itemText(2).startsWith("Renamed Camera"); }, 3000));
        EXPECT_EQ(list.count(), 3);

        // A file that does not describe one camera is skipped until it is written again.
        WriteFile(folder.filePath("c.camera"), "[camera]\nname = One\n[camera]\nname = Two\n");
        WriteFile(folder.filePath("d.camera"), "[camera]\nbogus = 1\n");
        ASSERT_TRUE(QFile::rename(folder.filePath("notes.txt"), folder.filePath("e.camera")));
        QTest::qWait(200);
        EXPECT_EQ(list.count(), 3);
        EXPECT_EQ(sim->Cameras().size(), 3u);
        WriteFile(folder.filePath("c.camera"), CameraFile("Fixed Camera", "vid_3333&pid_0003"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() == 4; }, 3000));
        EXPECT_EQ(list.itemText(3), "Fixed Camera    VID_3333&PID_0003");

        // Moved out of the folder counts as pulled.
        QTemporaryDir elsewhere;
        ASSERT_TRUE(QFile::rename(folder.filePath("c.camera"), elsewhere.filePath("c.camera")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return list.count() == 3; }, 3000));
    }
    EXPECT_EQ(sim->Live().Total(), 0);
    velmora::InstallBackend(nullptr);
}

TEST(SimHotplugFolderTest, AFolderThatIsNotThereIsAnError)
{
    auto sim = std::make_shared<velmora::sim::SimBackend>(velmora::sim::SimWorldConfig{});
    std::string error;
    EXPECT_FALSE(sim->WatchHotplugFolder("/nonexistent/velmora-hotplug", error));
    EXPECT_NE(error.find("/nonexistent/velmora-hotplug"), std::string::npos);
    EXPECT_EQ(sim->CreateDeviceChangeSource()->EventDescriptor(), -1);
}

TEST(SimHotplugFolderTest, HotplugFileHoldsExactlyOneCamera)
{
    std::string error;
    auto camera = velmora::sim::ParseHotplugCamera("[camera]\nname = Solo\nfail_bind = true\n", error);
    ASSERT_TRUE(camera) << error;
    EXPECT_EQ(camera->friendlyName, "Solo");
    EXPECT_TRUE(camera->failBindToObject);
    EXPECT_FALSE(velmora::sim::ParseHotplugCamera("", error));
    EXPECT_NE(error.find("exactly one"), std::string::npos);
    EXPECT_FALSE(velmora::sim::ParseHotplugCamera("[sim]\nfail_enumerator = true\n[camera]\n", error));
    EXPECT_FALSE(velmora::sim::ParseHotplugCamera("[camera]\nname\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
}

// The folder driven directly: every plug and pull, by the camera's name.
class HotplugFolder : public ::testing::Test {
protected:
    void Open()
    {
        ASSERT_TRUE(m_folder.isValid());
        std::string error;
        m_hotplug = velmora::sim::SimHotplugFolder::Open(
            m_folder.path().toStdString(),
            [this](velmora::sim::SimCameraConfig config) {
                m_log.push_back("plug " + config.friendlyName.value_or(""));
                return std::make_shared<velmora::sim::SimCamera>(std::move(config), nullptr);
            },
            [this](const std::shared_ptr<velmora::sim::SimCamera>& camera) {
                m_log.push_back("pull " + camera->Config().friendlyName.value_or(""));
            },
            error);
        ASSERT_TRUE(m_hotplug) << error;
    }
    // Waits until the watch has something, then applies it.
    void DispatchWhenReady()
    {
        pollfd ready{m_hotplug->Descriptor(), POLLIN, 0};
        ASSERT_EQ(poll(&ready, 1, 3000), 1);
        m_hotplug->Dispatch();
    }
    QString Path(const char* name) const { return m_folder.filePath(name); }
    std::vector<std::string> TakeLog() { return std::exchange(m_log, {}); }

    QTemporaryDir m_folder;
    std::unique_ptr<velmora::sim::SimHotplugFolder> m_hotplug;
    std::vector<std::string> m_log;
};

// A file still being written is no camera yet, even when another file's event wakes the folder.
TEST_F(HotplugFolder, AFileIsPluggedOnlyOnceClosedAfterWriting)
{
    Open();
    QFile half(Path("half.camera"));
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    ASSERT_TRUE(half.write("[camera]\nname = Half") > 0);
    ASSERT_TRUE(half.flush());
    WriteFile(Path("other.camera"), CameraFile("Other", "vid_1111&pid_0001"));
    DispatchWhenReady();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"plug Other"});

    ASSERT_TRUE(half.write(" Camera\n") > 0);
    half.close();
    DispatchWhenReady();
    EXPECT_EQ(TakeLog(), std::vector<std::string>{"plug Half Camera"});
}

// When inotify's queue overflowed, the events are lost: the folder is read again and the plugged
// cameras brought in line with the files.
TEST_F(HotplugFolder, AfterAQueueOverflowTheFolderIsReadAgain)
{
    WriteFile(Path("gone.camera"), CameraFile("Gone", "vid_1111&pid_0001"));
    WriteFile(Path("changed.camera"), CameraFile("Before", "vid_2222&pid_0002"));
    WriteFile(Path("same.camera"), CameraFile("Same", "vid_3333&pid_0003"));
    Open();
    EXPECT_EQ(TakeLog().size(), 3u);

    ASSERT_TRUE(QFile::remove(Path("gone.camera")));
    WriteFile(Path("changed.camera"), CameraFile("After", "vid_2222&pid_0002"));
    WriteFile(Path("new.camera"), CameraFile("New", "vid_4444&pid_0004"));
    inotify_event overflow{};
    overflow.wd = -1;
    overflow.mask = IN_Q_OVERFLOW;
    velmora::sim::SimFolderChanges changes;
    velmora::sim::AddInotifyEvents(reinterpret_cast<const char*>(&overflow), sizeof overflow, changes);
    m_hotplug->Apply(changes);
    std::vector<std::string> log = TakeLog();
    std::sort(log.begin(), log.end());
    EXPECT_EQ(log, std::vector<std::string>({"plug After", "plug New", "pull Before", "pull Gone"}));
    std::set<std::string> plugged;
    for (const auto& entry : m_hotplug->Plugged()) plugged.insert(entry.first);
    EXPECT_EQ(plugged, std::set<std::string>({"changed.camera", "new.camera", "same.camera"}));
}

}  // namespace
