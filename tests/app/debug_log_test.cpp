// The opt-in debug log: what the program's debug channel says, appended to a file.
#include <gtest/gtest.h>

#include <QDebug>
#include <QFile>
#include <QTemporaryDir>

#include "app/debug_log.h"
#include "tests/support/debug_capture.h"

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(DebugLogTest, AppendsEachMessageAsAUtf8LineAndHandsItOn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("debug.log");
    {
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier run\n");
    }
    DebugCapture capture;
    {
        const velmora::DebugLog log(path);
        ASSERT_TRUE(log.Active());
        qDebug().noquote() << QString::fromUtf8("USB视频设备移除！");
        qWarning("a warning");
        qDebug().noquote() << QStringLiteral("\\\\?\\usb#vid_abcd&pid_ef01");
    }
    qDebug("after the log is gone");

    EXPECT_EQ(ReadAll(path),
              QByteArray("earlier run\nUSB视频设备移除！\na warning\n\\\\?\\usb#vid_abcd&pid_ef01\n"));
    EXPECT_EQ(capture.Lines(), QStringList({QString::fromUtf8("USB视频设备移除！"),
                                            QStringLiteral("\\\\?\\usb#vid_abcd&pid_ef01"),
                                            QStringLiteral("after the log is gone")}));
}

TEST(DebugLogTest, AFileThatCannotBeOpenedLeavesTheChannelAsItWas)
{
    QTemporaryDir dir;
    DebugCapture capture;
    const velmora::DebugLog log(dir.filePath("no such folder/debug.log"));
    EXPECT_FALSE(log.Active());
    qDebug("still seen");
    EXPECT_EQ(capture.Lines(), QStringList({QStringLiteral("still seen")}));
    EXPECT_FALSE(QFile::exists(dir.filePath("no such folder/debug.log")));
}

}  // namespace
