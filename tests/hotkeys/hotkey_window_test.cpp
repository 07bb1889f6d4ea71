// Hotkeys driving the real window against simulated cameras, through an adapter worked by hand:
// what a click gives, one key at a time whoever pressed it, every end of a hold, the settings
// dialog and file, and start with the desktop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

#include "app/autostart.h"
#include "app/combination_edit.h"
#include "app/hotkey_controller.h"
#include "app/settings_dialog.h"
#include "app/tray_menu.h"
#include "app/user_settings.h"
#include "app/velmora.h"
#include "app/window_macros.h"
#include "hotkeys/hotkey_backend.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "tests/hotkeys/fake_hotkey_source.h"
#include "tests/keys/slot_log.h"
#include "tests/support/message_box_watcher.h"

namespace {

// The short names and buttons of the twelve keys, in key-table order.
const std::pair<const char*, const char*> kKeys[] = {
    {"live", "NearButton"},         {"normal", "FarButton"},  {"zoom-in", "Zoom_inButton"},
    {"focus-in", "Focus_inButton"}, {"menu", "MENUButton"},   {"focus-out", "Focus_outButton"},
    {"zoom-out", "Zoom_outButton"}, {"ae", "AEButton"},       {"awb", "AWBButton"},
    {"lock1", "lock1Button"},       {"lock2", "lock2Button"}, {"lock3", "lock3Button"},
};
const QString kZoomIn = "camera 0: 26 16 00 00 00 01 00 00 00 00 03 BF";
const QString kFocusIn = "camera 0: 26 16 00 00 00 01 00 00 00 00 04 BE";
const QString kFocusOut = "camera 0: 26 16 00 00 00 01 00 00 00 00 06 BC";
const QString kKeyUp = "camera 0: 26 16 00 00 00 01 00 00 00 00 16 AC";

class HotkeyWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path() + "/config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path() + "/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path() + "/data"));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(folder.path() + "/system"));
        velmora::InstallHotkeySourceFactory([this] { return std::make_unique<FakeHotkeySource>(hotkeys); });
        backend = std::make_shared<velmora::sim::SimBackend>(velmora::sim::DefaultSimWorld());
        velmora::InstallBackend(backend);
    }
    void TearDown() override
    {
        log.reset();
        window.reset();
        velmora::InstallBackend(nullptr);
        velmora::InstallHotkeySourceFactory(nullptr);
    }
    // The window with its settings read, the hotkeys on for this run as --hotkeys turns them on.
    void Start()
    {
        window = std::make_unique<Velmora>();
        window->StartHotkeys(true);
        window->Form().MENUButton->setFocus();
        log = std::make_unique<SlotLog>(backend->Cameras(), boxes);
    }
    // What the slots did, less the hotkeys' and macros' own lines on the debug channel.
    QStringList Taken()
    {
        QStringList lines = log->Take();
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString& line) {
                                       return line.startsWith("debug hotkey") ||
                                              line.startsWith("debug macro");
                                   }),
                    lines.end());
        return lines;
    }
    void WriteSettings(const QByteArray& text)
    {
        QFile file(velmora::UserSettingsPath());
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }
    QStringList Click(const char* name, bool press)
    {
        press ? QTest::mousePress(Button(name), Qt::LeftButton)
              : QTest::mouseRelease(Button(name), Qt::LeftButton);
        return Taken();
    }
    QStringList Down(const char* name)
    {
        EXPECT_TRUE(hotkeys->Down(name)) << name;
        return Taken();
    }
    QStringList Up(const char* name)
    {
        EXPECT_TRUE(hotkeys->Up(name)) << name;
        return Taken();
    }
    QStringList Key(QEvent::Type type, Qt::Key key)
    {
        QKeyEvent event(type, key, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(),
                                &event);
        return Taken();
    }

    QTemporaryDir folder;
    std::shared_ptr<FakeHotkeys> hotkeys = std::make_shared<FakeHotkeys>();
    std::shared_ptr<velmora::sim::SimBackend> backend;
    MessageBoxWatcher boxes;
    std::unique_ptr<Velmora> window;
    std::unique_ptr<SlotLog> log;
};

TEST_F(HotkeyWindowTest, EveryHotkeyGivesWhatAClickAndHoldOfItsButtonGives)
{
    Start();
    ASSERT_EQ(hotkeys->bindings.size(), 12u);
    for (const auto& [name, button] : kKeys) {
        SCOPED_TRACE(name);
        const QStringList clickDown = Click(button, true);
        const QStringList clickUp = Click(button, false);
        ASSERT_FALSE(clickDown.isEmpty());
        EXPECT_EQ(Down(name), clickDown);
        EXPECT_TRUE(Button(button)->isDown());
        EXPECT_EQ(Down(name), QStringList());  // auto-repeat
        EXPECT_EQ(Up(name), clickUp);
        EXPECT_FALSE(Button(button)->isDown());
    }
    EXPECT_TRUE(boxes.Seen().isEmpty());
}

TEST_F(HotkeyWindowTest, AHotkeyFirstLetsGoOfWhatTheMouseOrTheKeyboardHolds)
{
    Start();
    EXPECT_EQ(Click("Focus_inButton", true), QStringList({kFocusIn}));
    EXPECT_EQ(Down("zoom-in"), QStringList({kKeyUp, kZoomIn}));
    EXPECT_EQ(Click("Focus_inButton", false), QStringList());
    // While the hotkey holds, a click on its button or another one is not a second key.
    EXPECT_EQ(Click("Zoom_inButton", true), QStringList());
    EXPECT_EQ(Click("Zoom_inButton", false), QStringList());
    EXPECT_EQ(Click("Focus_outButton", true), QStringList());
    EXPECT_EQ(Click("Focus_outButton", false), QStringList());
    EXPECT_EQ(Up("zoom-in"), QStringList({kKeyUp}));

    EXPECT_EQ(Key(QEvent::KeyPress, Qt::Key_Right), QStringList({kFocusOut}));
    EXPECT_EQ(Down("zoom-in"), QStringList({kKeyUp, kZoomIn}));
    EXPECT_EQ(Key(QEvent::KeyRelease, Qt::Key_Right), QStringList());
    QTest::qWait(2 * KeypadKeyboard::kReleaseSettleMs);
    EXPECT_EQ(Up("zoom-in"), QStringList({kKeyUp}));
    EXPECT_EQ(Taken(), QStringList());
}

TEST_F(HotkeyWindowTest, EveryEndOfAHotkeysHoldSendsItsReleaseOnce)
{
    Start();
    // Turned off, from the window's menu as from the tray's.
    EXPECT_EQ(Down("zoom-in"), QStringList({kZoomIn}));
    window->Menu().HotkeysAction().trigger();
    EXPECT_FALSE(window->Hotkeys().Enabled());
    EXPECT_EQ(Taken(), QStringList({kKeyUp}));
    EXPECT_TRUE(hotkeys->bindings.empty());
    window->Menu().HotkeysAction().trigger();
    ASSERT_EQ(hotkeys->bindings.size(), 12u);
    EXPECT_TRUE(velmora::LoadUserSettings().settings.enabled);  // the menu's choice is kept

    // The selected camera pulled: the hold ends; the combination still down presses nothing more
    // (not on the camera selected now either) until it goes down again.
    EXPECT_EQ(Down("zoom-in"), QStringList({kZoomIn}));
    ASSERT_TRUE(backend->Unplug(backend->Cameras()[0]));
    QTest::qWait(50);
    EXPECT_FALSE(Taken().contains(QString(kKeyUp).replace("camera 0", "camera 1")));
    EXPECT_FALSE(Button("Zoom_inButton")->isDown());
    EXPECT_EQ(window->Hotkeys().HeldKey(), -1);
    EXPECT_EQ(Down("zoom-in"), QStringList());
    EXPECT_EQ(Up("zoom-in"), QStringList());
    EXPECT_EQ(Down("zoom-in"), QStringList({QString(kZoomIn).replace("camera 0", "camera 1")}));

    // The window closed: without a tray it closes as before, and the hold ends.
    EXPECT_TRUE(window->close());
    EXPECT_EQ(Taken(), QStringList({QString(kKeyUp).replace("camera 0", "camera 1")}));
    EXPECT_TRUE(hotkeys->bindings.empty());
}

// A macro's combination runs the macro of the default macros file on the window's slots; a click
// in the window cancels it, the macro's key released before the click's press, once.
TEST_F(HotkeyWindowTest, AMacrosCombinationRunsItAndAClickCancelsItFirst)
{
    WriteSettings("[macros]\nhold=Ctrl+Alt+F5\ntap=Ctrl+Alt+F6\n");
    ASSERT_TRUE(QDir().mkpath(folder.path() + "/config/velmora"));
    QFile macros(folder.path() + "/config/velmora/macros.txt");
    ASSERT_TRUE(macros.open(QIODevice::WriteOnly));
    macros.write("[hold]\npress zoom-in\nwait 300\nrelease\n[tap]\nnudge focus-in 20\n");
    macros.close();
    Start();
#if defined(Q_OS_WIN)
    window->LoadMacros(macros.fileName());  // the default file is under %LOCALAPPDATA%, which stays put
#else
    window->LoadMacros();  // the default file, under XDG_CONFIG_HOME
#endif
    ASSERT_TRUE(window->Macros().Problems().isEmpty())
        << window->Macros().Problems().join("\n").toStdString();
    EXPECT_EQ(Down("macro-hold"), QStringList({kZoomIn}));
    EXPECT_EQ(Up("macro-hold"), QStringList());
    EXPECT_EQ(Click("Focus_outButton", true), QStringList({kKeyUp, kFocusOut}));
    EXPECT_EQ(Click("Focus_outButton", false), QStringList({kKeyUp}));
    QTest::qWait(400);  // past the macro's own release
    EXPECT_EQ(Taken(), QStringList());

    EXPECT_EQ(Down("macro-tap"), QStringList({kFocusIn}));
    QTest::qWait(200);
    EXPECT_EQ(Taken(), QStringList({kKeyUp}));
    EXPECT_FALSE(window->Macros().Running());
}

TEST_F(HotkeyWindowTest, TheSettingsRecordApplyAndNameTheFilesLinesTheyCouldNotRead)
{
    WriteSettings("[hotkeys]\nlock1=Ctrl+Alt+Up\nlock2=Ctrl+Alt+Fo0\n");
    hotkeys->taken = {"lock3"};
    Start();
    window->OpenSettings();
    SettingsDialog* dialog = window->OpenSettingsDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->Edit(9).text(), "Ctrl+Alt+Up");  // lock1
    EXPECT_EQ(dialog->Edit(2).text(), "");             // zoom-in: its suggestion is lock1's
    EXPECT_EQ(dialog->StatusText(11), "another program has Ctrl+Alt+3");
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
        return label->text().contains(
            "Not read: velmora.ini line 3: lock2=Ctrl+Alt+Fo0: unknown key \"Fo0\"");
    }));

    // Recorded by pressing: one that another key has is refused, a free one taken.
    dialog->Edit(3).setFocus();
    QTest::keyClick(&dialog->Edit(3), Qt::Key_Up, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(dialog->StatusText(3), "Ctrl+Alt+Up is already on lock1");
    QTest::keyClick(&dialog->Edit(3), Qt::Key_F13);
    EXPECT_EQ(dialog->Edit(3).text(), "F13");
    dialog->findChild<QPushButton*>("clear-live")->click();
    EXPECT_TRUE(dialog->Apply());

    const auto saved = velmora::LoadUserSettings();
    EXPECT_TRUE(saved.problems.isEmpty()) << saved.problems.join("\n").toStdString();
    EXPECT_FALSE(saved.settings.enabled);  // --hotkeys is for one run
    EXPECT_EQ(velmora::CombinationText(*saved.settings.keys[3].combination), "F13");
    EXPECT_TRUE(saved.settings.keys[0].set);
    EXPECT_FALSE(saved.settings.keys[0].combination);
    ASSERT_TRUE(hotkeys->Find("focus-in"));
    EXPECT_EQ(velmora::CombinationText(hotkeys->Find("focus-in")->combination), "F13");
    EXPECT_FALSE(hotkeys->Find("live"));
    EXPECT_EQ(Down("focus-in"), QStringList({kFocusIn}));
    EXPECT_EQ(Up("focus-in"), QStringList({kKeyUp}));
}

TEST_F(HotkeyWindowTest, StartWithTheDesktopOnWritesItsEntryAndOffRemovesIt)
{
#if !defined(Q_OS_WIN)
    QDir().mkpath(folder.path() + "/system/applications");
    QFile desktop(folder.path() + "/system/applications/" + velmora::kDesktopFileName);
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nType=Application\nName=Velmora\nExec=velmora %U\nIcon=velmora\n");
    desktop.close();
#endif
    Start();
    QAction& autostart = window->Menu().AutostartAction();
    ASSERT_FALSE(velmora::AutostartIsOn());
    autostart.trigger();
    EXPECT_TRUE(autostart.isChecked());
#if defined(Q_OS_WIN)
    QSettings run("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  QSettings::NativeFormat);
    EXPECT_EQ(
        run.value("Velmora").toString(),
        QString("\"%1\" --hidden").arg(QDir::toNativeSeparators(QCoreApplication::applicationFilePath())));
#else
    QFile entry(folder.path() + "/config/autostart/" + velmora::kDesktopFileName);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_EQ(entry.readAll(),
              "[Desktop Entry]\nType=Application\nName=Velmora\nExec=velmora --hidden %U\nIcon=velmora\n");
#endif
    autostart.trigger();
    EXPECT_FALSE(autostart.isChecked());
    EXPECT_FALSE(velmora::AutostartIsOn());
#if defined(Q_OS_WIN)
    run.sync();
    EXPECT_FALSE(run.contains("Velmora"));
#else
    EXPECT_FALSE(entry.exists());
#endif
}

}  // namespace
