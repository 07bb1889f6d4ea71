// The window at the display's scale, on the X server tests/app/display_scale.sh starts at
// VELMORA_TEST_DPI: each caption fits its button, and the window grows by DPI / 96 in device pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>

#include <cmath>
#include <memory>

#include "app/display_scaling.h"
#include "app/velmora.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"
#include "platform/sim/sim_config.h"

namespace {

double g_factor = 1;

// Where the text of a widget is drawn, against what its text takes in the widget's own font.
void ExpectFits(const QWidget* widget, const QString& text, const QRect& room)
{
    const QFontMetrics metrics(widget->font());
    EXPECT_LE(metrics.horizontalAdvance(text), room.width()) << text.toStdString();
    EXPECT_LE(metrics.height(), room.height()) << text.toStdString();
}

TEST(DisplayScale, WindowGrowsWithTheDisplayAndEveryCaptionFits)
{
    velmora::InstallBackend(std::make_shared<velmora::sim::SimBackend>(velmora::sim::DefaultSimWorld()));
    {
        Velmora window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        const QSizeF device = QSizeF(window.size()) * window.devicePixelRatioF();
        EXPECT_NEAR(device.width(), 518 * g_factor, 1);
        EXPECT_NEAR(device.height(), 507 * g_factor, 1);

        for (const QPushButton* button : window.findChildren<QPushButton*>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            ExpectFits(button, button->text(),
                       button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button));
        }

        const QComboBox* list = window.Form().DeviceList;
        ASSERT_FALSE(list->currentText().isEmpty());
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.currentText = list->currentText();
        ExpectFits(
            list, list->currentText(),
            list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list));
    }
    velmora::InstallBackend(nullptr);
}

}  // namespace

int main(int argc, char** argv)
{
    g_factor = qEnvironmentVariableIntValue("VELMORA_TEST_DPI") / 96.0;
    velmora::EnableDisplayScaling();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
