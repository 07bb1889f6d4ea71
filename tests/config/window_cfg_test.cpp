// The window loads Cfg.ini from the working directory before its first request to a camera.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/velmora.h"
#include "config/xu_identity.h"
#include "platform/sim/sim_backend.h"

namespace velmora {
namespace {

const Guid kOtherUnit{0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}};

class WindowCfg : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_folder.path()));
    }
    void TearDown() override
    {
        QDir::setCurrent(m_previous);
        InstallBackend(nullptr);
        g_xuIdentity = XuIdentity{};
    }

    void WriteCfg(const QByteArray& text)
    {
        ASSERT_TRUE(QDir(m_folder.path()).mkpath("CfgFile"));
        QFile file(m_folder.path() + "/CfgFile/Cfg.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    std::shared_ptr<sim::SimBackend> InstallCamera(const Guid& set, std::uint32_t node)
    {
        sim::SimCameraConfig camera;
        camera.xuPropertySet = set;
        camera.xuNode = node;
        camera.devicePath = sim::SimDevicePath(0xABCD, 0xEF01, 1);
        sim::SimWorldConfig world;
        world.cameras = {camera};
        auto backend = std::make_shared<sim::SimBackend>(world);
        InstallBackend(backend);
        return backend;
    }

    QTemporaryDir m_folder;
    QString m_previous;
};

TEST_F(WindowCfg, StartUpRequestsUseTheUnitNamedInCfgIni)
{
    WriteCfg("[UvcExten]\nExId=a\nGuid={11223344-5566-7788-99AA-BBCCDDEEFF00}\n");
    auto backend = InstallCamera(kOtherUnit, 10);
    Velmora window;
    EXPECT_EQ(window.CfgFolder(), QDir::currentPath() + "/CfgFile");
    EXPECT_EQ(g_xuIdentity.exId, 10);
    EXPECT_EQ(g_xuIdentity.guid, kOtherUnit);

    const sim::SimCamera& camera = *backend->Cameras()[0];
    EXPECT_EQ(camera.Firmware().Transactions().size(), 24u);  // the status registers, all answered
    ASSERT_FALSE(camera.Requests().empty());
    for (const sim::SimRequest& request : camera.Requests()) {
        EXPECT_EQ(request.request.set, kOtherUnit);
        EXPECT_EQ(request.request.nodeId, 10u);
        EXPECT_EQ(request.status, request.IsSizeQuery() ? StatusMoreData : StatusOk);
    }
}

TEST_F(WindowCfg, WithoutCfgIniRequestsGoToNode1AndTheDefaultSet)
{
    auto backend = InstallCamera(DefaultXuPropertySet, 1);
    Velmora window;
    EXPECT_EQ(g_xuIdentity.exId, 1);
    EXPECT_TRUE(g_xuIdentity.guid.IsNull());
    const sim::SimCamera& camera = *backend->Cameras()[0];
    EXPECT_EQ(camera.Firmware().Transactions().size(), 24u);
    for (const sim::SimRequest& request : camera.Requests()) {
        EXPECT_EQ(request.request.set, DefaultXuPropertySet);
        EXPECT_EQ(request.request.nodeId, 1u);
    }
    EXPECT_FALSE(QDir(QDir::currentPath() + "/CfgFile").exists());
}

TEST_F(WindowCfg, MemberOperationsReadAndWriteTheWindowsFile)
{
    InstallBackend(std::make_shared<sim::SimBackend>(sim::SimWorldConfig{}));
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("CfgFile"));
    Velmora window;
    window.WriteCfgValue("/UvcExten/ExId", "20");
    QString value = "stale";
    window.ReadCfgValue("/UvcExten/ExId", value);
    EXPECT_EQ(value, "20");
    EXPECT_TRUE(QFile::exists(m_folder.path() + "/CfgFile/Cfg.ini"));
    window.ReadCfgValue("/UvcExten/Guid", value);
    EXPECT_TRUE(value.isEmpty());
    window.LoadUvcExtenConfig();
    EXPECT_EQ(g_xuIdentity.exId, 0x20);
}

}  // namespace
}  // namespace velmora
