// velmoractl xu-info and the extension unit's identity from CfgFile/Cfg.ini in the working directory.
#include <QDir>
#include <QFile>
#include <QJsonArray>

#include "tests/velmoractl/velmoractl_runner.h"

namespace velmoractl_test {
namespace {

constexpr char kOtherUnit[] = "xu_guid = {0F3A6C27-1D2B-4E5F-9A8B-7C6D5E4F3A2B}\nxu_node = 4";

class CtlXuInfoTest : public VelmoractlTest {
protected:
    void WriteCfgIni(const std::string& text)
    {
        ASSERT_TRUE(QDir(m_folder.path()).mkpath("CfgFile"));
        WriteFile("CfgFile/Cfg.ini", text);
    }
};

TEST_F(CtlXuInfoTest, DefaultIdentityReachesTheDefaultUnit)
{
    const CtlResult result = Run(Camera(), {"xu-info"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(
        result.out.find("node 1  {46394292-0CD0-4AE3-8783-3133F9EAAA3B}  controls 00 02 (selectors 10)"),
        std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("<- addressed"), std::string::npos);
    EXPECT_NE(result.out.find("(not found: defaults)"), std::string::npos);
}

TEST_F(CtlXuInfoTest, AnotherUnitIsListedButNotReachedUntilCfgIniNamesIt)
{
    const CtlResult before = Run(Camera(kOtherUnit), {"--json", "xu-info"});
    EXPECT_EQ(before.exitCode, 0);
    QJsonObject json = before.Json();
    EXPECT_FALSE(json["addressed"].toBool());
    ASSERT_EQ(json["units"].toArray().size(), 1);
    EXPECT_EQ(json["units"].toArray()[0].toObject()["node"].toInt(), 4);
    EXPECT_EQ(json["units"].toArray()[0].toObject()["guid"].toString(),
              "0F3A6C27-1D2B-4E5F-9A8B-7C6D5E4F3A2B");
    EXPECT_NE(before.err.find("set ExId and Guid under [UvcExten]"), std::string::npos) << before.err;

    // ExId is hexadecimal, as the window reads it.
    WriteCfgIni("[UvcExten]\nExId=4\nGuid={0f3a6c27-1d2b-4e5f-9a8b-7c6d5e4f3a2b}\n");
    json = Run(Camera(kOtherUnit), {"--json", "xu-info"}).Json();
    EXPECT_TRUE(json["addressed"].toBool());
    EXPECT_EQ(json["identity"].toObject()["propertySetSource"].toString(), "Cfg.ini");
    EXPECT_TRUE(json["identity"].toObject()["cfgFileFound"].toBool());
}

TEST_F(CtlXuInfoTest, RequestsFollowCfgIni)
{
    WriteCfgIni("[UvcExten]\nExId=4\nGuid={0F3A6C27-1D2B-4E5F-9A8B-7C6D5E4F3A2B}\n");
    const CtlResult result = Run(Camera(kOtherUnit), {"--trace", "key", "menu"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> sets = result.TraceLines("SET");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_NE(sets[0].find("node=4 set={0F3A6C27-1D2B-4E5F-9A8B-7C6D5E4F3A2B}"), std::string::npos)
        << sets[0];

    // Without the file the same camera does not answer: the cause names the missing unit.
    ASSERT_TRUE(QFile::remove(m_folder.filePath("CfgFile/Cfg.ini")));
    const CtlResult missing = Run(Camera(kOtherUnit), {"key", "menu"});
    EXPECT_EQ(missing.exitCode, 6);
    EXPECT_NE(missing.err.find("no extension unit with the configured property set"), std::string::npos)
        << missing.err;
}

}  // namespace
}  // namespace velmoractl_test
