// Cfg.ini: reading, writing and loading the extension unit's identity, field by field.
#include "config/cfg_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace velmora {
namespace {

const Guid kPrevious{0x01020304, 0x0506, 0x0708, {1, 2, 3, 4, 5, 6, 7, 8}};
const Guid kFromFile{0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00}};

class CfgFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    // Writes a Cfg.ini with the given text and answers its path. Each file gets a folder of its own:
    // QSettings caches a file by path and could miss a rewrite of equal size within its timestamp.
    QString WriteFile(const QByteArray& text)
    {
        const QString folder = m_folder.path() + "/" + QString::number(++m_files);
        EXPECT_TRUE(QDir().mkpath(folder));
        const QString path = CfgFilePath(folder);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }

    // Loads the file over an identity that already holds node 7 and kPrevious.
    XuIdentity Load(const QString& path)
    {
        XuIdentity identity{7, kPrevious};
        LoadUvcExtenConfig(path, identity);
        return identity;
    }

    QTemporaryDir m_folder;
    int m_files = 0;
};

TEST_F(CfgFile, MissingFileOrFolderChangesNothingAndCreatesNothing)
{
    const QString missingFolder = m_folder.path() + "/CfgFile";
    const XuIdentity identity = Load(CfgFilePath(missingFolder));
    EXPECT_EQ(identity.exId, 7);
    EXPECT_EQ(identity.guid, kPrevious);
    EXPECT_TRUE(ReadCfgValue(CfgFilePath(missingFolder), "/UvcExten/ExId").isEmpty());
    EXPECT_FALSE(QDir(missingFolder).exists());
    EXPECT_TRUE(QDir(m_folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(CfgFile, MissingKeysChangeNothing)
{
    for (const QByteArray& text :
         {QByteArray(""), QByteArray("[Other]\nExId=5\n"), QByteArray("[UvcExten]\nExId=\nGuid=\n")}) {
        const XuIdentity identity = Load(WriteFile(text));
        EXPECT_EQ(identity.exId, 7) << text.constData();
        EXPECT_EQ(identity.guid, kPrevious) << text.constData();
    }
}

TEST_F(CfgFile, ExIdIsHexadecimalAndGuidIsTakenFieldByField)
{
    const XuIdentity identity =
        Load(WriteFile("[UvcExten]\nExId=10\nGuid={11223344-5566-7788-99AA-BBCCDDEEFF00}\n"));
    EXPECT_EQ(identity.exId, 16);
    EXPECT_EQ(identity.guid, kFromFile);
    EXPECT_EQ(Load(WriteFile("[UvcExten]\nExId=1f\n")).exId, 31);
    EXPECT_EQ(Load(WriteFile("[UvcExten]\nExId=-1\n")).exId, -1);
    // Braces are optional for QUuid.
    EXPECT_EQ(Load(WriteFile("[UvcExten]\nGuid=11223344-5566-7788-99aa-bbccddeeff00\n")).guid, kFromFile);
}

TEST_F(CfgFile, BadExIdDoesNotStopAGoodGuid)
{
    for (const QByteArray& exId : {QByteArray("zz"), QByteArray("12g"), QByteArray("100000000")}) {
        const XuIdentity identity =
            Load(WriteFile("[UvcExten]\nExId=" + exId + "\nGuid={11223344-5566-7788-99AA-BBCCDDEEFF00}\n"));
        EXPECT_EQ(identity.exId, 7) << exId.constData();
        EXPECT_EQ(identity.guid, kFromFile) << exId.constData();
    }
}

TEST_F(CfgFile, NullOrUnparsableGuidKeepsThePreviousOne)
{
    for (const QByteArray& guid : {QByteArray("{00000000-0000-0000-0000-000000000000}"),
                                   QByteArray("not a guid"), QByteArray("{11223344-5566-7788-99AA}")}) {
        const XuIdentity identity = Load(WriteFile("[UvcExten]\nExId=2\nGuid=" + guid + "\n"));
        EXPECT_EQ(identity.exId, 2) << guid.constData();
        EXPECT_EQ(identity.guid, kPrevious) << guid.constData();
    }
}

TEST_F(CfgFile, WrittenValuesReadBackAndLoad)
{
    const QString path = CfgFilePath(m_folder.path());
    WriteCfgValue(path, "/UvcExten/ExId", "0A");
    WriteCfgValue(path, "/UvcExten/Guid", "{11223344-5566-7788-99AA-BBCCDDEEFF00}");
    EXPECT_EQ(ReadCfgValue(path, "/UvcExten/ExId"), "0A");
    EXPECT_EQ(ReadCfgValue(path, "UvcExten/Guid"), "{11223344-5566-7788-99AA-BBCCDDEEFF00}");
    EXPECT_TRUE(ReadCfgValue(path, "/UvcExten/Other").isEmpty());
    const XuIdentity identity = Load(path);
    EXPECT_EQ(identity.exId, 10);
    EXPECT_EQ(identity.guid, kFromFile);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[UvcExten]")) << text.constData();
    EXPECT_TRUE(text.contains("ExId=0A")) << text.constData();
}

}  // namespace
}  // namespace velmora
