// The form against its table: widgets, geometry, fonts, texts and the focus chain.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

#include <memory>

#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"

namespace {

struct ButtonRow {
    const char* name;
    QRect geometry;
    const char* text;
};

const ButtonRow kButtons[] = {
    {"NearButton", {30, 70, 100, 51}, "直播"},       {"FarButton", {380, 70, 100, 51}, "常规"},
    {"AWBButton", {390, 340, 100, 51}, "白平衡"},    {"AEButton", {30, 340, 100, 51}, "自动曝光"},
    {"Zoom_inButton", {210, 130, 100, 51}, "放大"},  {"Zoom_outButton", {210, 270, 100, 51}, "缩小"},
    {"Focus_inButton", {90, 200, 100, 51}, "聚焦+"}, {"Focus_outButton", {330, 200, 101, 51}, "聚焦-"},
    {"MENUButton", {210, 200, 100, 51}, "主菜单"},   {"lock1Button", {210, 430, 100, 51}, "功能锁1"},
    {"lock2Button", {30, 430, 100, 51}, "功能锁2"},  {"lock3Button", {390, 430, 100, 51}, "功能锁3"},
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        velmora::InstallBackend(std::make_shared<velmora::sim::SimBackend>(velmora::sim::SimWorldConfig{}));
        window = std::make_unique<Velmora>();
    }
    void TearDown() override
    {
        window.reset();
        velmora::InstallBackend(nullptr);
    }
    std::unique_ptr<Velmora> window;
};

TEST_F(FormTest, WindowHasItsNameSizeTitleAndNoBars)
{
    EXPECT_EQ(window->objectName(), "VelmoraClass");
    EXPECT_EQ(window->size(), QSize(518, 507));
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("UVC控制按键工具V1.0.1"));
    EXPECT_EQ(window->minimumSize(), QSize(0, 0));
    EXPECT_TRUE(window->windowIcon().isNull());
    EXPECT_EQ(window->findChildren<QMenuBar*>().size(), 0);
    EXPECT_EQ(window->findChildren<QToolBar*>().size(), 0);
    EXPECT_EQ(window->findChildren<QStatusBar*>().size(), 0);
    EXPECT_EQ(window->centralWidget(), window->Form().centralWidget);
    EXPECT_EQ(window->centralWidget()->objectName(), "centralWidget");
}

TEST_F(FormTest, ComboBoxAndLabelMatchTheTable)
{
    QComboBox* list = window->Form().DeviceList;
    EXPECT_EQ(list->objectName(), "DeviceList");
    EXPECT_EQ(list->parentWidget(), window->centralWidget());
    EXPECT_EQ(list->geometry(), QRect(30, 20, 451, 31));
    EXPECT_EQ(list->styleSheet(), QString::fromUtf8("font: 14pt \"微软雅黑\";"));

    QLabel* label = window->Form().label;
    EXPECT_EQ(label->objectName(), "label");
    EXPECT_EQ(label->geometry(), QRect(230, 170, 41, 31));
    EXPECT_EQ(label->font().pointSize(), 16);
    EXPECT_TRUE(label->text().isEmpty());
}

TEST_F(FormTest, EveryButtonMatchesItsRow)
{
    for (const ButtonRow& row : kButtons) {
        SCOPED_TRACE(row.name);
        auto* button = window->findChild<QPushButton*>(row.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->parentWidget(), window->centralWidget());
        EXPECT_EQ(button->geometry(), row.geometry);
        EXPECT_EQ(button->font().pointSize(), 16);
        EXPECT_EQ(button->text(), QString::fromUtf8(row.text));
        EXPECT_FALSE(button->isCheckable());
        EXPECT_FALSE(button->isChecked());
        EXPECT_FALSE(button->autoRepeat());
        EXPECT_TRUE(button->icon().isNull());
    }
    EXPECT_EQ(window->Form().NearButton->iconSize(), QSize(32, 32));
    EXPECT_EQ(window->Form().Focus_outButton->iconSize(), QSize(16, 16));
    EXPECT_EQ(window->Form().Focus_outButton->minimumSize(), QSize(101, 0));
    EXPECT_EQ(window->findChildren<QPushButton*>().size(), 12);
}

TEST_F(FormTest, CreationOrderIsTheFocusChain)
{
    QStringList expected{"DeviceList"};
    for (const ButtonRow& row : kButtons) expected << row.name;
    QStringList chain;
    QWidget* widget = window->Form().DeviceList;
    for (int i = 0; i < expected.size(); ++i) {
        chain << widget->objectName();
        widget = widget->nextInFocusChain();
        while (widget && widget->focusPolicy() == Qt::NoFocus && widget != window->Form().DeviceList) {
            widget = widget->nextInFocusChain();
        }
    }
    EXPECT_EQ(chain, expected);
    QStringList children;
    for (QObject* child : window->centralWidget()->children()) {
        if (child->isWidgetType()) children << child->objectName();
    }
    expected.insert(1, "label");
    EXPECT_EQ(children, expected);
}

TEST_F(FormTest, ResizingMovesNothing)
{
    window->resize(900, 800);
    EXPECT_EQ(window->Form().DeviceList->geometry(), QRect(30, 20, 451, 31));
    EXPECT_EQ(window->Form().lock3Button->geometry(), QRect(390, 430, 100, 51));
}

TEST(FormSetup, KeepsAnExistingObjectName)
{
    QMainWindow host;
    host.setObjectName("AlreadyNamed");
    Ui_VelmoraClass form;
    form.setupUi(&host);
    EXPECT_EQ(host.objectName(), "AlreadyNamed");
    EXPECT_EQ(form.MENUButton->text(), QString::fromUtf8("主菜单"));
}

}  // namespace
