// The twelve keys clicked on the real window against simulated cameras: the packets each camera
// received, the debug lines and the no-device warning, in the order they happened.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "tests/keys/slot_log.h"
#include "tests/support/message_box_watcher.h"

void PrintTo(const QStringList& lines, std::ostream* out)
{
    *out << lines.join(" | ").toStdString();
}

namespace {

using velmora::sim::SimBackend;
using velmora::sim::SimCamera;

const QString kPressed = "debug pressed()";
const QString kReleased = "debug released()";

struct KeyRow {
    const char* button;
    const char* pressPacket;
    const char* releasePacket;  // empty: nothing
    bool debug;
};

// The keys in slot order, with the packets each press and release must put on the wire.
const KeyRow kKeys[12] = {
    {"NearButton", "26 16 00 00 00 01 00 00 00 00 01 C1", "", true},
    {"FarButton", "26 16 00 00 00 01 00 00 00 00 02 C0", "", true},
    {"Zoom_inButton", "26 16 00 00 00 01 00 00 00 00 03 BF", "26 16 00 00 00 01 00 00 00 00 16 AC", false},
    {"Focus_inButton", "26 16 00 00 00 01 00 00 00 00 04 BE", "26 16 00 00 00 01 00 00 00 00 16 AC", false},
    {"MENUButton", "26 16 00 00 00 01 00 00 00 00 05 BD", "", false},
    {"Focus_outButton", "26 16 00 00 00 01 00 00 00 00 06 BC", "26 16 00 00 00 01 00 00 00 00 16 AC", false},
    {"Zoom_outButton", "26 16 00 00 00 01 00 00 00 00 07 BB", "26 16 00 00 00 01 00 00 00 00 16 AC", false},
    {"AEButton", "26 16 00 00 00 01 00 00 00 00 08 BA", "", true},
    {"AWBButton", "26 16 00 00 00 01 00 00 00 00 09 B9", "", true},
    {"lock1Button", "26 16 00 00 00 01 00 00 00 00 10 B2", "26 16 00 00 00 01 00 00 00 00 16 AC", true},
    {"lock2Button", "26 16 00 00 00 01 00 00 00 00 11 B1", "26 16 00 00 00 01 00 00 00 00 16 AC", true},
    {"lock3Button", "26 16 00 00 00 01 00 00 00 00 12 B0", "26 16 00 00 00 01 00 00 00 00 16 AC", true},
};

QString ToCamera(int camera, const char* packet)
{
    return QString("camera %1: %2").arg(camera).arg(packet);
}

class KeySlotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend = std::make_shared<SimBackend>(velmora::sim::DefaultSimWorld());
        velmora::InstallBackend(backend);
        window = std::make_unique<Velmora>();
        log = std::make_unique<SlotLog>(backend->Cameras(), boxes);
    }
    void TearDown() override
    {
        log.reset();
        window.reset();
        velmora::InstallBackend(nullptr);
    }

    QPushButton* Button(const char* name)
    {
        auto* button = window->findChild<QPushButton*>(name);
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    QStringList Press(const char* name)
    {
        QTest::mousePress(Button(name), Qt::LeftButton);
        return log->Take();
    }
    QStringList Release(const char* name)
    {
        QTest::mouseRelease(Button(name), Qt::LeftButton);
        return log->Take();
    }
    QComboBox& List() { return *window->Form().DeviceList; }

    std::shared_ptr<SimBackend> backend;
    MessageBoxWatcher boxes;
    std::unique_ptr<Velmora> window;
    std::unique_ptr<SlotLog> log;
};

TEST_F(KeySlotTest, EverySlotSendsItsPacketOrNothingToTheSelectedCamera)
{
    ASSERT_EQ(List().currentIndex(), 0);
    for (const KeyRow& key : kKeys) {
        SCOPED_TRACE(key.button);
        QStringList press;
        if (key.debug) press << kPressed;
        press << ToCamera(0, key.pressPacket);
        EXPECT_EQ(Press(key.button), press);

        QStringList release;
        if (key.debug) release << kReleased;
        if (*key.releasePacket) release << ToCamera(0, key.releasePacket);
        EXPECT_EQ(Release(key.button), release);
    }
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_TRUE(backend->Cameras()[1]->Writes().empty());
}

TEST_F(KeySlotTest, NamedKeys)
{
    EXPECT_EQ(Press("MENUButton"), QStringList({ToCamera(0, "26 16 00 00 00 01 00 00 00 00 05 BD")}));
    EXPECT_EQ(Release("MENUButton"), QStringList());

    EXPECT_EQ(Press("AEButton"), QStringList({kPressed, ToCamera(0, "26 16 00 00 00 01 00 00 00 00 08 BA")}));
    EXPECT_EQ(Release("AEButton"), QStringList({kReleased}));

    EXPECT_EQ(Press("lock2Button"),
              QStringList({kPressed, ToCamera(0, "26 16 00 00 00 01 00 00 00 00 11 B1")}));
    EXPECT_EQ(Release("lock2Button"),
              QStringList({kReleased, ToCamera(0, "26 16 00 00 00 01 00 00 00 00 16 AC")}));

    EXPECT_EQ(Press("Zoom_inButton"), QStringList({ToCamera(0, "26 16 00 00 00 01 00 00 00 00 03 BF")}));
    EXPECT_EQ(Release("Zoom_inButton"), QStringList({ToCamera(0, "26 16 00 00 00 01 00 00 00 00 16 AC")}));
}

TEST_F(KeySlotTest, FunctionLocksSendSixteenToEighteenNeverTenToTwelve)
{
    const auto& camera = *backend->Cameras()[0];
    const std::size_t startup = camera.Writes().size();
    const char* locks[] = {"lock1Button", "lock2Button", "lock3Button"};
    for (const char* lock : locks) {
        Press(lock);
        Release(lock);
    }
    const auto writes = camera.Writes();
    QStringList data;
    for (std::size_t i = startup; i < writes.size(); ++i) {
        ASSERT_EQ(writes[i].size(), 12u);
        data << QString::number(writes[i][10]);
    }
    EXPECT_EQ(data, QStringList({"16", "22", "17", "22", "18", "22"}));
}

TEST_F(KeySlotTest, ReleaseGoesToTheDeviceSelectedWhenItRuns)
{
    EXPECT_EQ(Press("Zoom_inButton"), QStringList({ToCamera(0, "26 16 00 00 00 01 00 00 00 00 03 BF")}));
    List().setCurrentIndex(1);
    EXPECT_EQ(Release("Zoom_inButton"), QStringList({ToCamera(1, "26 16 00 00 00 01 00 00 00 00 16 AC")}));
    EXPECT_EQ(Press("lock3Button"),
              QStringList({kPressed, ToCamera(1, "26 16 00 00 00 01 00 00 00 00 12 B0")}));
    List().setCurrentIndex(0);
    EXPECT_EQ(Release("lock3Button"),
              QStringList({kReleased, ToCamera(0, "26 16 00 00 00 01 00 00 00 00 16 AC")}));
}

TEST_F(KeySlotTest, AFailedWriteLeavesNoTraceAndTheNextClickWrites)
{
    backend->Cameras()[0]->SetPlugged(false);
    EXPECT_EQ(Press("MENUButton"), QStringList());
    EXPECT_EQ(Release("MENUButton"), QStringList());
    EXPECT_EQ(Press("Zoom_outButton"), QStringList());
    EXPECT_EQ(Release("Zoom_outButton"), QStringList());
    EXPECT_TRUE(boxes.Seen().isEmpty());

    backend->Cameras()[0]->SetPlugged(true);
    EXPECT_EQ(Press("MENUButton"), QStringList({ToCamera(0, "26 16 00 00 00 01 00 00 00 00 05 BD")}));
}

TEST_F(KeySlotTest, AHandleThatNamesNoDeviceSendsNothingAndShowsNothing)
{
    // Non-zero user data that no table slot holds (the original turned it into a pointer).
    List().setItemData(0, 0x7FFF0000, Qt::UserRole);
    EXPECT_EQ(Press("MENUButton"), QStringList());
    EXPECT_EQ(Press("lock1Button"), QStringList({kPressed}));
    EXPECT_EQ(Release("lock1Button"), QStringList({kReleased}));
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_EQ(backend->Live().ksControls, 0);
}

// Every slot, pressed and released, without a usable selection: the debug line first, then the
// warning, and no packet to either camera.
class NoDeviceTest : public KeySlotTest {
protected:
    void ExpectEverySlotWarnsAndSendsNothing()
    {
        for (const KeyRow& key : kKeys) {
            SCOPED_TRACE(key.button);
            EXPECT_EQ(Press(key.button), key.debug ? QStringList({kPressed, "box"}) : QStringList({"box"}));
            EXPECT_EQ(Release(key.button),
                      key.debug ? QStringList({kReleased, "box"}) : QStringList({"box"}));
        }
        ASSERT_EQ(boxes.Seen().size(), 24);
        for (const SeenMessageBox& box : boxes.Seen()) {
            EXPECT_EQ(box.title, "Warning");
            EXPECT_EQ(box.text, QString::fromUtf8("请插入设备！"));
            EXPECT_EQ(box.text.size(), 6);
            EXPECT_EQ(box.text.back(), QChar(0xFF01));
            EXPECT_FALSE(box.hasParent);
            EXPECT_EQ(box.standardButtons, static_cast<int>(QMessageBox::Yes));
        }
    }
};

TEST_F(NoDeviceTest, EmptyList)
{
    List().clear();
    ExpectEverySlotWarnsAndSendsNothing();
}

TEST_F(NoDeviceTest, UserDataZero)
{
    List().setItemData(0, 0, Qt::UserRole);
    ExpectEverySlotWarnsAndSendsNothing();
}

TEST_F(NoDeviceTest, UserDataThatIsNoNumber)
{
    List().setItemData(0, QString("USB Camera"), Qt::UserRole);
    ExpectEverySlotWarnsAndSendsNothing();
}

TEST_F(NoDeviceTest, NoCurrentItem)
{
    List().setCurrentIndex(-1);
    ExpectEverySlotWarnsAndSendsNothing();
}

}  // namespace
