#include "devices/device_change_handling.h"

#include <QChar>
#include <QDebug>

namespace velmora {

namespace {

// One message on the debug channel, exactly this text.
void DebugLine(const QString& text)
{
    qDebug().noquote() << text;
}

bool HandleInterfaceName(const DeviceChangeEvent& event, bool removal, const DeviceChangeResponse& response)
{
    const QString name = QString::fromStdString(event.interfaceName);
    DebugLine(name);
    if (!NameContainsGuid(KsCategoryCapture, name)) return false;
    if (removal) DebugLine(QString::fromUtf8("USB视频设备移除！"));
    if (response.refreshDeviceList) response.refreshDeviceList();
    if (response.readStatusRegisters) response.readStatusRegisters();
    return true;
}

}  // namespace

QString NameGuidText(const Guid& guid)
{
    QString text = QStringLiteral("%1-%2-%3-%4%5-%6%7%8%9%10%11")
                       .arg(guid.data1, 8, 16, QChar('0'))
                       .arg(guid.data2, 4, 16, QChar('0'))
                       .arg(guid.data3, 4, 16, QChar('0'));
    for (std::uint8_t byte : guid.data4) text = text.arg(static_cast<unsigned>(byte), 2, 16, QChar('0'));
    return text.toUpper();
}

bool NameContainsGuid(const Guid& guid, const QString& name)
{
    const QString upperName = name.toUpper();
    const QString guidText = NameGuidText(guid).toUpper();
    DebugLine(guidText);
    return upperName.indexOf(guidText, 0, Qt::CaseSensitive) >= 0;
}

bool HandleDeviceChangeEvent(const DeviceChangeEvent& event, const DeviceChangeResponse& response)
{
    switch (event.kind) {
        case DeviceChangeKind::Arrival:
            if (event.recordType != DeviceRecordInterface) return false;
            return HandleInterfaceName(event, false, response);
        case DeviceChangeKind::RemoveComplete:
            DebugLine(QString::fromUtf8("设备移除"));
            if (event.recordType != DeviceRecordInterface) return false;
            return HandleInterfaceName(event, true, response);
        case DeviceChangeKind::Other:
            break;
    }
    return false;
}

void LogDeviceChangeRegistrationFailed()
{
    DebugLine(QString::fromUtf8("注册失败"));
}

}  // namespace velmora
