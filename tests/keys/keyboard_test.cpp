// The twelve keys typed on the keyboard into the real window against simulated cameras: the same
// packets, debug lines and warnings as a click, one key at a time, auto-repeat ignored, and the
// release sent when the window loses the focus.
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

using velmora::sim::SimBackend;

struct KeyboardKey {
    const char* button;
    Qt::Key key;
};

const KeyboardKey kKeys[] = {
    {"NearButton", Qt::Key_L},          {"FarButton", Qt::Key_N},         {"Zoom_inButton", Qt::Key_Up},
    {"Focus_inButton", Qt::Key_Left},   {"MENUButton", Qt::Key_Return},   {"MENUButton", Qt::Key_Enter},
    {"Focus_outButton", Qt::Key_Right}, {"Zoom_outButton", Qt::Key_Down}, {"AEButton", Qt::Key_A},
    {"AWBButton", Qt::Key_W},           {"lock1Button", Qt::Key_1},       {"lock2Button", Qt::Key_2},
    {"lock3Button", Qt::Key_3},
};

const QString kZoomIn = "camera 0: 26 16 00 00 00 01 00 00 00 00 03 BF";
const QString kFocusIn = "camera 0: 26 16 00 00 00 01 00 00 00 00 04 BE";
const QString kZoomOut = "camera 0: 26 16 00 00 00 01 00 00 00 00 07 BB";
const QString kFocusOut = "camera 0: 26 16 00 00 00 01 00 00 00 00 06 BC";
const QString kKeyUp = "camera 0: 26 16 00 00 00 01 00 00 00 00 16 AC";

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        backend = std::make_shared<SimBackend>(velmora::sim::DefaultSimWorld());
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
    // Where the platform would deliver a key: the focus widget.
    QWidget* Focused()
    {
        QWidget* focused = QApplication::focusWidget();
        return focused ? focused : window.get();
    }
    QStringList KeyDown(Qt::Key key)
    {
        QTest::keyPress(Focused(), key);
        return log->Take();
    }
    // A held key's release settles for a moment (the X server's auto-repeat could still follow).
    QStringList KeyUp(Qt::Key key)
    {
        QTest::keyRelease(Focused(), key);
        QPushButton* button = ButtonOf(key);
        EXPECT_TRUE(QTest::qWaitFor([button] { return !button->isDown(); }, 2000));
        return log->Take();
    }
    QPushButton* ButtonOf(Qt::Key key)
    {
        for (const KeyboardKey& row : kKeys) {
            if (row.key == key) return Button(row.button);
        }
        return nullptr;
    }
    QStringList Send(QEvent::Type type, Qt::Key key, ulong timestamp)
    {
        QKeyEvent event(type, key, Qt::NoModifier);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(Focused(), &event);
        return log->Take();
    }
    // One auto-repeat step, as a held key gives it: a release and a press, both marked repeated.
    QStringList Repeat(Qt::Key key)
    {
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(Focused(), &up);
        QApplication::sendEvent(Focused(), &down);
        return log->Take();
    }
    QStringList Click(const char* name, bool press)
    {
        if (press) {
            QTest::mousePress(Button(name), Qt::LeftButton);
        } else {
            QTest::mouseRelease(Button(name), Qt::LeftButton);
        }
        return log->Take();
    }

    void ExpectEveryKeyActsAsAClick()
    {
        for (const KeyboardKey& key : kKeys) {
            SCOPED_TRACE(key.button);
            const QStringList clickDown = Click(key.button, true);
            const QStringList clickUp = Click(key.button, false);
            ASSERT_FALSE(clickDown.isEmpty());
            EXPECT_EQ(KeyDown(key.key), clickDown);
            EXPECT_TRUE(Button(key.button)->isDown());
            EXPECT_EQ(KeyUp(key.key), clickUp);
            EXPECT_FALSE(Button(key.button)->isDown());
        }
    }

    std::shared_ptr<SimBackend> backend;
    MessageBoxWatcher boxes;
    std::unique_ptr<Velmora> window;
    std::unique_ptr<SlotLog> log;
};

TEST_F(KeyboardTest, EveryKeyGivesWhatAClickOfItsButtonGives)
{
    ExpectEveryKeyActsAsAClick();
    EXPECT_TRUE(boxes.Seen().isEmpty());
    EXPECT_EQ(Button("Zoom_inButton")->toolTip(), "Key: Up");
    EXPECT_EQ(Button("MENUButton")->toolTip(), "Key: Enter");
}

TEST_F(KeyboardTest, AHeldKeyIgnoresRepeatsOtherKeysAndSpaceUntilItComesUp)
{
    Button("Zoom_inButton")->setFocus();
    EXPECT_EQ(KeyDown(Qt::Key_Up), QStringList({kZoomIn}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Repeat(Qt::Key_Up), QStringList());
    EXPECT_EQ(KeyDown(Qt::Key_Left), QStringList());
    EXPECT_EQ(KeyUp(Qt::Key_Left), QStringList());
    QTest::keyClick(Focused(), Qt::Key_Space);
    EXPECT_EQ(log->Take(), QStringList());
    EXPECT_TRUE(Button("Zoom_inButton")->isDown());

    EXPECT_EQ(KeyUp(Qt::Key_Up), QStringList({kKeyUp}));
    EXPECT_EQ(Repeat(Qt::Key_Left), QStringList());
    EXPECT_EQ(KeyDown(Qt::Key_Left), QStringList({kFocusIn}));
    EXPECT_EQ(KeyUp(Qt::Key_Left), QStringList({kKeyUp}));
}

TEST_F(KeyboardTest, ARepeatThatTheToolkitCouldNotPairIsStillARepeat)
{
    // Auto-repeat read as a plain release and press of one instant: the key is still held.
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1000), QStringList({kZoomOut}));
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Down, 1700), QStringList());
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 1700), QStringList());
    QTest::qWait(2 * KeypadKeyboard::kReleaseSettleMs);
    EXPECT_EQ(log->Take(), QStringList());
    EXPECT_TRUE(Button("Zoom_outButton")->isDown());

    // Let go and pressed again at once, a new instant: a release and a new press.
    EXPECT_EQ(Send(QEvent::KeyRelease, Qt::Key_Down, 2000), QStringList());
    EXPECT_EQ(Send(QEvent::KeyPress, Qt::Key_Down, 2010), QStringList({kKeyUp, kZoomOut}));
    EXPECT_EQ(KeyUp(Qt::Key_Down), QStringList({kKeyUp}));
}

TEST_F(KeyboardTest, AHeldKeyIgnoresTheMouseOnTheOtherButtons)
{
    EXPECT_EQ(KeyDown(Qt::Key_Up), QStringList({kZoomIn}));
    EXPECT_EQ(Click("Focus_inButton", true), QStringList());
    EXPECT_EQ(Click("Focus_inButton", false), QStringList());
    EXPECT_EQ(KeyUp(Qt::Key_Up), QStringList({kKeyUp}));
}

TEST_F(KeyboardTest, LosingTheFocusWhileAKeyIsHeldSendsItsReleaseOnce)
{
    QWidget other;
    other.show();
    // The held button without the focus, then with it (the button would release itself too).
    for (const char* focus : {"MENUButton", "Focus_outButton"}) {
        SCOPED_TRACE(focus);
        Button(focus)->setFocus();
        EXPECT_EQ(KeyDown(Qt::Key_Right), QStringList({kFocusOut}));
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        EXPECT_EQ(log->Take(), QStringList({kKeyUp}));
        EXPECT_FALSE(Button("Focus_outButton")->isDown());

        // The key coming up later, elsewhere or back in the window, sends nothing more.
        QTest::keyRelease(&other, Qt::Key_Right);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        EXPECT_EQ(KeyUp(Qt::Key_Right), QStringList());
    }
}

TEST_F(KeyboardTest, AHeldButtonThatLosesTheFocusIsReleasedOnce)
{
    Button("Zoom_inButton")->setFocus();
    EXPECT_EQ(KeyDown(Qt::Key_Up), QStringList({kZoomIn}));
    Button("AEButton")->setFocus();
    EXPECT_EQ(log->Take(), QStringList({kKeyUp}));
    EXPECT_EQ(KeyUp(Qt::Key_Up), QStringList());
}

TEST_F(KeyboardTest, TheFocusedDeviceListKeepsUpAndDownAndTheOtherKeysStillWork)
{
    List().setFocus();
    ASSERT_EQ(List().currentIndex(), 0);
    EXPECT_EQ(KeyDown(Qt::Key_Down), QStringList());
    EXPECT_EQ(KeyUp(Qt::Key_Down), QStringList());
    EXPECT_EQ(List().currentIndex(), 1);
    EXPECT_EQ(KeyDown(Qt::Key_Up), QStringList());
    EXPECT_EQ(KeyUp(Qt::Key_Up), QStringList());
    EXPECT_EQ(List().currentIndex(), 0);

    EXPECT_EQ(KeyDown(Qt::Key_Left), QStringList({kFocusIn}));
    EXPECT_EQ(KeyUp(Qt::Key_Left), QStringList({kKeyUp}));
    EXPECT_EQ(List().currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), &List());
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
