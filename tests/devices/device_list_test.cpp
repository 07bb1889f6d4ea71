// DeviceList: filling, refresh after devices leave, and reading the selection back.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>

#include "devices/device_enumeration.h"
#include "devices/device_list.h"
#include "tests/devices/sim_devices.h"
#include "tests/support/debug_capture.h"

namespace {

using devices_test::BackendWithCameras;
using velmora::DeviceTable;

QStringList Labels(const QComboBox& list)
{
    QStringList labels;
    for (int i = 0; i < list.count(); ++i) labels << list.itemText(i);
    return labels;
}

TEST(FillDeviceList, ListsEveryDeviceWithItsHandleAndSelectsTheFirst)
{
    auto backend = BackendWithCameras(10);
    DeviceTable table;
    ASSERT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 10);
    QComboBox list;
    list.addItem("stale", 99);
    EXPECT_EQ(velmora::FillDeviceList(&list, table), 10);
    ASSERT_EQ(list.count(), 10);
    EXPECT_EQ(list.currentIndex(), 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(list.itemText(i), QString("Camera %1    VID_ABCD&PID_%2")
                                        .arg(i + 1)
                                        .arg(QString::number(0xEF00 + i + 1, 16).toUpper()));
        EXPECT_EQ(list.itemData(i, Qt::UserRole), QVariant(table.handles[i]));
    }
    EXPECT_EQ(velmora::SelectedDeviceHandle(&list), table.handles[0]);
    EXPECT_EQ(backend->Live().propertyBags, 0);
}

// A camera that was enumerated but whose label cannot be read by the time the list is filled (pulled
// in between, a driver hiccup) is left out; the cameras after it are still listed.
TEST(FillDeviceList, SkipsADeviceWhosePropertiesCannotBeOpenedAndListsTheRest)
{
    std::string error;
    const auto world = velmora::sim::ParseSimConfig(
        "[camera]\nname = First\n[camera]\nname = Hiccup\nfail_storage_at_fill = true\n[camera]\nname = "
        "Third\n",
        error);
    ASSERT_TRUE(world) << error;
    auto backend = std::make_shared<velmora::sim::SimBackend>(*world);
    DeviceTable table;
    ASSERT_EQ(velmora::EnumerateCaptureDevices(table, *backend), 3);
    QComboBox list;
    DebugCapture debug;
    EXPECT_EQ(velmora::FillDeviceList(&list, table), 2);
    EXPECT_EQ(Labels(list), QStringList({"First    VID_ABCD&PID_EF01", "Third    VID_ABCD&PID_EF03"}));
    EXPECT_EQ(list.itemData(0, Qt::UserRole), QVariant(table.handles[0]));
    EXPECT_EQ(list.itemData(1, Qt::UserRole), QVariant(table.handles[2]));
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_NE(table.monikers[1], nullptr) << "the skipped device keeps its slot";
    EXPECT_EQ(debug.Lines(), QStringList{"device 1: its properties cannot be read, not listed"});
}

TEST(FillDeviceList, AnEmptyTableLeavesNoCurrentItem)
{
    DeviceTable table;
    QComboBox list;
    list.addItem("stale", 5);
    EXPECT_EQ(velmora::FillDeviceList(&list, table), 0);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(velmora::SelectedDeviceHandle(&list), 0);
}

TEST(RefreshDeviceList, AfterADeviceLeavesListsTheRestWithTheFirstCurrent)
{
    auto backend = BackendWithCameras(3);
    DeviceTable table;
    QComboBox list;
    ASSERT_EQ(velmora::RefreshDeviceList(&list, table, *backend), 3);
    list.setCurrentIndex(2);
    backend->Cameras()[1]->SetPlugged(false);

    EXPECT_EQ(velmora::RefreshDeviceList(&list, table, *backend), 2);
    EXPECT_EQ(Labels(list), QStringList({"Camera 1    VID_ABCD&PID_EF01", "Camera 3    VID_ABCD&PID_EF03"}));
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_EQ(velmora::SelectedDeviceHandle(&list), table.handles[0]);
    for (int i = 2; i < DeviceTable::Capacity; ++i) {
        EXPECT_EQ(table.monikers[i], nullptr);
        EXPECT_EQ(table.filters[i], nullptr);
        EXPECT_EQ(table.handles[i], 0);
    }
    EXPECT_EQ(backend->Live().Total(), 4);
}

TEST(RefreshDeviceList, WithNoDeviceLeftEmptiesListAndTable)
{
    auto backend = BackendWithCameras(2);
    DeviceTable table;
    QComboBox list;
    ASSERT_EQ(velmora::RefreshDeviceList(&list, table, *backend), 2);
    for (const auto& camera : backend->Cameras()) camera->SetPlugged(false);

    EXPECT_EQ(velmora::RefreshDeviceList(&list, table, *backend), 0);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.currentIndex(), -1);
    for (int i = 0; i < DeviceTable::Capacity; ++i) EXPECT_EQ(table.filters[i], nullptr);
    EXPECT_EQ(backend->Live().Total(), 0);
}

TEST(RefreshDeviceList, EmptiesTheListBeforeGivingAnyDeviceBack)
{
    auto backend = BackendWithCameras(2);
    DeviceTable table;
    QComboBox list;
    ASSERT_EQ(velmora::RefreshDeviceList(&list, table, *backend), 2);
    int devicesWhenEmptied = -1;
    QObject::connect(list.model(), &QAbstractItemModel::modelReset, [&] {
        if (list.count() == 0 && devicesWhenEmptied < 0) devicesWhenEmptied = backend->Live().devices;
    });
    QObject::connect(list.model(), &QAbstractItemModel::rowsRemoved, [&] {
        if (list.count() == 0 && devicesWhenEmptied < 0) devicesWhenEmptied = backend->Live().devices;
    });
    velmora::RefreshDeviceList(&list, table, *backend);
    EXPECT_EQ(devicesWhenEmptied, 2);
}

}  // namespace
