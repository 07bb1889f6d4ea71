// The twelve keys typed into the real window against simulated cameras: what a click gives, one
// press per hold whatever the auto-repeat, and the release when the focus goes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "tests/keys/slot_log.h"
#include "tests/support/message_box_watcher.h"

namespace {

const std::pair<const char*, Qt::Key> kShortcutKeys[] = {
    {"NearButton", Qt::Key_L},          {"FarButton", Qt::Key_N},         {"Zoom_inButton", Qt::Key_Up},
    {"Focus_inButton", Qt::Key_Left},   {"MENUButton", Qt::Key_Return},   {"MENUButton", Qt::Key_Enter},
    {"Focus_outButton", Qt::Key_Right}, {"Zoom_outButton", Qt::Key_Down}, {"AEButton", Qt::Key_A},
    {"AWBButton", Qt::Key_W},           {"lock1Button", Qt::Key_1},       {"lock2Button", Qt::Key_2},
    {"lock3Button", Qt::Key_3},
};
const QString kZoomOut = "camera 0: 26 16 00 00 00 01 00 00 00 00 07 BB";
const QString kFocusOut = "camera 0: 26 16 00 00 00 01 00 00 00 00 06 BC";
const QString kKeyUp = "camera 0: 26 16 00 00 00 01 00 00 00 00 16 AC";

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend = std::make_shared<velmora::sim::SimBackend>(velmora::sim::DefaultSimWorld());
        velmora::InstallBackend(backend);
        window = std::make_unique<Velmora>();
        if (Shown()) {
            window->show();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        }
        Button("MENUButton")->setFocus();
        log = std::make_unique<SlotLog>(backend->Cameras(), boxes);
    }
    void TearDown() override
    {
        log.reset();
        window.reset();
        velmora::InstallBackend(nullptr);
    }
    virtual bool Shown() const { return true; }

    QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }
    QComboBox& List() { return *window->Form().DeviceList; }
    // Where the platform delivers a key.
    QWidget* Focused() { return QApplication::focusWidget() ? QApplication::focusWidget() : window.get(); }
    bool AnyDown()
    {
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (button->isDown()) return true;
        }
        return false;
    }
    QStringList Send(QEvent::Type type, Qt::Key key, ulong timestamp = 0, bool repeat = false)
    {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(Focused(), &event);
        return log->Take();
    }
    QStringList KeyDown(Qt::Key key) { return Send(QEvent::KeyPress, key); }
    // A held key's release may settle for a moment, in case auto-repeat follows.
    QStringList KeyUp(Qt::Key key)
    {
        QStringList sent = Send(QEvent::KeyRelease, key);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !AnyDown(); }, 2000));
        return sent + log->Take();
    }
    QStringList Click(const char* name, bool press)
    {
        press ? QTest::mousePress(Button(name), Qt::LeftButton)
              : QTest::mouseRelease(Button(name), Qt::LeftButton);
        return log->Take();
    }

    void ExpectEveryKeyActsAsAClick()
    {
        for (const auto& [name, key] : kShortcutKeys) {
            SCOPED_TRACE(name);
            const QStringList clickDown = Click(name, true);
            const QStringList clickUp = Click(name, false);
            ASSERT_FALSE(clickDown.isEmpty());
            EXPECT_EQ(KeyDown(key), clickDown);
            EXPECT_TRUE(Button(name)->isDown());
            EXPECT_EQ(KeyUp(key), clickUp);
        }
    }

    std::shared_ptr<velmora::sim::SimBackend> backend;
    MessageBoxWatcher boxes;
    std::unique_ptr<Velmora> window;
    std::unique_ptr<SlotLog> log;
};

TEST_F(KeyboardTest, EveryKeyGivesWhatAClickOfItsButtonGives)
{
    ExpectEveryKeyActsAsAClick();
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_EQ(Button("MENUButton")->toolTip(), "Key: Enter");
}

TEST_F(KeyboardTest, AHeldKeySendsNothingMoreForRepeatsOrOtherKeys)
{
    // An X server that refuses detectable auto-repeat: releases settle.
    window->Keyboard().SetReleaseSettleMs(KeypadKeyboard::kReleaseSettleMs);
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1000), QStringList({kZoomOut}));
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Down, 0, true), QStringList());
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 0, true), QStringList());
    // Auto-repeat that the toolkit could not pair: a plain release and press of one instant.
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Down, 1700), QStringList());
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1700), QStringList());
    EXPECT_EQ(KeyDown(Qt::Key_Left), QStringList());
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Left), QStringList());
    QTest::qWait(2 * KeypadKeyboard::kReleaseSettleMs);
    EXPECT_EQ(log->Take(), QStringList());
    EXPECT_TRUE(Button("Zoom_outButton")->isDown());

    // Let go and pressed again at once, at a new instant: a release and a new press.
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Down, 2000), QStringList());
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 2010), QStringList({kKeyUp, kZoomOut}));
    EXPECT_EQ(KeyUp(Qt::Key_Down), QStringList({kKeyUp}));
}

TEST_F(KeyboardTest, WhereRepeatsComeAsPressesTheReleaseGoesOutAsTheKeyComesUp)
{
    ASSERT_EQ(window->Keyboard().ReleaseSettleMs(), 0);  // offscreen, as Windows and Wayland
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1000), QStringList({kZoomOut}));
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1030), QStringList());
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1060, true), QStringList());
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Down, 1700), QStringList({kKeyUp}));
    EXPECT_FALSE(Button("Zoom_outButton")->isDown());
}

TEST_F(KeyboardTest, AClickOnTheButtonAKeyHoldsIsNoSecondKey)
{
    EXPECT_EQ(KeyDown(Qt::Key_Down), QStringList({kZoomOut}));
    EXPECT_EQ(Click("Zoom_outButton", true), QStringList());
    EXPECT_EQ(Click("Zoom_outButton", false), QStringList());
    EXPECT_TRUE(Button("Zoom_outButton")->isDown());
    EXPECT_EQ(KeyUp(Qt::Key_Down), QStringList({kKeyUp}));
}

TEST_F(KeyboardTest, LosingTheFocusWhileAKeyIsHeldSendsItsReleaseOnce)
{
    // The held button itself has the focus: Qt would release it too.
    Button("Focus_outButton")->setFocus();
    EXPECT_EQ(KeyDown(Qt::Key_Right), QStringList({kFocusOut}));
    Button("AEButton")->setFocus();
    EXPECT_EQ(log->Take(), QStringList({kKeyUp}));
    EXPECT_EQ(KeyUp(Qt::Key_Right), QStringList());

    QWidget other;
    other.show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(KeyDown(Qt::Key_Right), QStringList({kFocusOut}));
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(log->Take(), QStringList({kKeyUp}));
    EXPECT_FALSE(Button("Focus_outButton")->isDown());
    EXPECT_EQ(KeyUp(Qt::Key_Right), QStringList());
}

TEST_F(KeyboardTest, TheFocusedDeviceListKeepsUpAndDown)
{
    List().setFocus();
    EXPECT_EQ(KeyDown(Qt::Key_Down), QStringList());
    EXPECT_EQ(KeyUp(Qt::Key_Down), QStringList());
    EXPECT_EQ(List().currentIndex(), 1);
    EXPECT_EQ(KeyDown(Qt::Key_Up), QStringList());
    EXPECT_EQ(KeyUp(Qt::Key_Up), QStringList());
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_EQ(KeyDown(Qt::Key_Right), QStringList({kFocusOut}));
}

// Not shown, as in the click tests: the warning then takes no activation from the window.
class HiddenWindowKeyboardTest : public KeyboardTest {
protected:
    bool Shown() const override { return false; }
};

TEST_F(HiddenWindowKeyboardTest, WithoutADeviceEveryKeyWarnsAsAClickDoes)
{
    List().clear();
    ExpectEveryKeyActsAsAClick();
    EXPECT_EQ(boxes.Seen().size(), 4 * 13);
}

}  // namespace
