// The window's lifecycle: slots by index, connection by name, paths and an empty start.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QMetaMethod>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "tests/support/debug_capture.h"
#include "tests/support/message_box_watcher.h"

namespace {

const char* const kSlots[24] = {
    "on_NearButton_pressed",     "on_NearButton_released",     "on_FarButton_pressed",
    "on_FarButton_released",     "on_Zoom_inButton_pressed",   "on_Zoom_inButton_released",
    "on_Focus_inButton_pressed", "on_Focus_inButton_released", "on_MENUButton_pressed",
    "on_MENUButton_released",    "on_Focus_outButton_pressed", "on_Focus_outButton_released",
    "on_Zoom_outButton_pressed", "on_Zoom_outButton_released", "on_AEButton_pressed",
    "on_AEButton_released",      "on_AWBButton_pressed",       "on_AWBButton_released",
    "on_lock1Button_pressed",    "on_lock1Button_released",    "on_lock2Button_pressed",
    "on_lock2Button_released",   "on_lock3Button_pressed",     "on_lock3Button_released",
};

std::unique_ptr<Velmora> WindowWithoutCameras()
{
    velmora::InstallBackend(std::make_shared<velmora::sim::SimBackend>(velmora::sim::SimWorldConfig{}));
    return std::make_unique<Velmora>();
}

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { velmora::InstallBackend(nullptr); }
};

TEST_F(WindowTest, MetaObjectHasExactlyTheTwentyFourSlotsInOrder)
{
    const QMetaObject& meta = Velmora::staticMetaObject;
    EXPECT_STREQ(meta.className(), "Velmora");
    EXPECT_EQ(meta.superClass(), &QMainWindow::staticMetaObject);
    ASSERT_EQ(meta.methodCount() - meta.methodOffset(), 24);
    EXPECT_EQ(meta.propertyCount(), meta.propertyOffset());
    EXPECT_EQ(meta.classInfoCount(), meta.classInfoOffset());
    for (int i = 0; i < 24; ++i) {
        const QMetaMethod method = meta.method(meta.methodOffset() + i);
        EXPECT_EQ(method.name(), QByteArray(kSlots[i])) << "index " << i;
        EXPECT_EQ(method.methodType(), QMetaMethod::Slot);
        EXPECT_EQ(method.access(), QMetaMethod::Public);
        EXPECT_EQ(method.parameterCount(), 0);
        EXPECT_EQ(method.returnType(), static_cast<int>(QMetaType::Void));
    }
}

TEST_F(WindowTest, MetacastAnswersForItsOwnNameOnly)
{
    auto window = WindowWithoutCameras();
    EXPECT_EQ(window->qt_metacast("Velmora"), static_cast<void*>(window.get()));
    EXPECT_NE(window->qt_metacast("QMainWindow"), nullptr);
    EXPECT_EQ(window->qt_metacast(nullptr), nullptr);
    EXPECT_EQ(window->qt_metacast("Other"), nullptr);
    EXPECT_EQ(s_mainWindow, window.get());
}

TEST_F(WindowTest, EachButtonSignalReachesExactlyItsSlot)
{
    auto window = WindowWithoutCameras();
    MessageBoxWatcher boxes;
    qputenv("VELMORA_TRACE_SLOTS", "1");
    for (int i = 0; i < 24; i += 2) {
        const QString pressed = QString::fromLatin1(kSlots[i]);
        const QString objectName = pressed.mid(3, pressed.indexOf("_pressed") - 3);
        auto* button = window->findChild<QPushButton*>(objectName);
        ASSERT_NE(button, nullptr) << objectName.toStdString();
        DebugCapture capture;
        QTest::mousePress(button, Qt::LeftButton);
        QTest::mouseRelease(button, Qt::LeftButton);
        QStringList slotLines;
        for (const QString& line : capture.Lines()) {
            if (line.startsWith("slot ")) slotLines << line;
        }
        EXPECT_EQ(slotLines, QStringList({"slot " + pressed, QString("slot ") + kSlots[i + 1]}));
    }
    qunsetenv("VELMORA_TRACE_SLOTS");
}

TEST_F(WindowTest, ConfigFolderFollowsTheWorkingDirectory)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    auto window = WindowWithoutCameras();
    QDir::setCurrent(previous);
    EXPECT_EQ(window->CurrentPath(), QDir(elsewhere.path()).canonicalPath());
    EXPECT_EQ(window->CfgFolder(), window->CurrentPath() + "/CfgFile");
    EXPECT_FALSE(QDir(window->CfgFolder()).exists());
}

TEST_F(WindowTest, StartsWithoutCamerasQuietly)
{
    MessageBoxWatcher boxes;
    auto window = WindowWithoutCameras();
    window->show();
    QTest::qWait(20);
    EXPECT_EQ(window->Form().DeviceList->count(), 0);
    EXPECT_EQ(window->Form().DeviceList->currentIndex(), -1);
    EXPECT_TRUE(boxes.Seen().isEmpty());
}

}  // namespace
