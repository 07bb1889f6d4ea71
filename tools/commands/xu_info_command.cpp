#include <QFileInfo>
#include <QJsonArray>
#include <cstdio>

#include "config/xu_identity.h"
#include "tools/cli_setup.h"
#include "tools/commands/command_context.h"
#include "xu/register_packet.h"

namespace velmoractl {

namespace {

// The selectors whose bit is set in bmControls: bit n-1 for selector n.
std::vector<int> Selectors(const std::vector<std::uint8_t>& controls)
{
    std::vector<int> selectors;
    for (std::size_t byte = 0; byte < controls.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            if (controls[byte] & (1u << bit)) selectors.push_back(static_cast<int>(byte * 8) + bit + 1);
        }
    }
    return selectors;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    for (std::uint8_t byte : bytes) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%02X", byte);
        if (!text.empty()) text += ' ';
        text += piece;
    }
    return text;
}

}  // namespace

void RunXuInfo(CommandContext& context)
{
    const velmora::XuIdentity identity = velmora::g_xuIdentity;
    const velmora::Guid propertySet = velmora::EffectiveXuPropertySet(identity);
    const auto nodeId = static_cast<std::uint32_t>(identity.exId);
    const std::string setText = velmora::GuidText(propertySet);
    const std::string setOrigin = identity.guid.IsNull() ? "built-in default" : "Cfg.ini";

    const QString cfgFile = CfgFileLocation();
    const bool cfgFound = QFileInfo::exists(cfgFile);
    QJsonObject addressing;
    addressing.insert("cfgFile", cfgFile);
    addressing.insert("cfgFileFound", cfgFound);
    addressing.insert("node", static_cast<double>(nodeId));
    addressing.insert("propertySet", QString::fromStdString(setText));
    addressing.insert("propertySetSource", QString::fromStdString(setOrigin));
    context.report.Set("identity", addressing);
    context.report.Line("identity from " + cfgFile.toStdString() +
                        (cfgFound ? "" : " (not found: defaults)"));
    context.report.Line("requests name node " + std::to_string(nodeId) + " and property set {" + setText +
                        "} (" + setOrigin + ")");

    std::vector<velmora::ExtensionUnitInfo> units;
    const velmora::Status status = context.device->DescribeExtensionUnits(propertySet, nodeId, units);
    context.report.Set("status", QString::fromStdString(velmora::StatusName(status)));
    if (velmora::Failed(status)) {
        context.report.Fail(context.RequestFailed("listing the extension units", status, Channel::Other));
        return;
    }
    QJsonArray list;
    bool anyAddressed = false;
    for (const velmora::ExtensionUnitInfo& unit : units) {
        QJsonObject item;
        item.insert("node", static_cast<double>(unit.nodeId));
        item.insert("guid", unit.guid ? QJsonValue(QString::fromStdString(velmora::GuidText(*unit.guid)))
                                      : QJsonValue());
        QJsonArray selectors;
        std::string selectorText;
        for (int selector : Selectors(unit.controls)) {
            selectors.append(selector);
            selectorText += (selectorText.empty() ? "" : ",") + std::to_string(selector);
        }
        item.insert("controls", QString::fromStdString(HexBytes(unit.controls)));
        item.insert("selectors", selectors);
        item.insert("answersPropertySet", unit.answersPropertySet);
        item.insert("addressed", unit.addressed);
        list.append(item);
        anyAddressed = anyAddressed || unit.addressed;

        std::string line = "node " + std::to_string(unit.nodeId);
        line += unit.guid ? "  {" + velmora::GuidText(*unit.guid) + "}" : "  (GUID not reported)";
        if (!unit.controls.empty())
            line += "  controls " + HexBytes(unit.controls) + " (selectors " + selectorText + ")";
        if (unit.answersPropertySet) line += "  answers the property set";
        if (unit.addressed) line += "  <- addressed";
        context.report.Line(line);
    }
    context.report.Set("units", list);
    context.report.Set("addressed", anyAddressed);
    if (units.empty()) context.report.Line("no extension unit");
    if (!anyAddressed) {
        context.report.Warn("no extension unit is reached by node " + std::to_string(nodeId) +
                            " and property set {" + setText +
                            "}: set ExId and Guid under [UvcExten] in CfgFile/Cfg.ini");
    }
    const bool selectorPresent = [&] {
        for (const velmora::ExtensionUnitInfo& unit : units) {
            if (!unit.addressed || unit.controls.empty()) continue;
            for (int selector : Selectors(unit.controls)) {
                if (selector == static_cast<int>(velmora::RegisterSelector)) return true;
            }
            return false;
        }
        return true;
    }();
    if (!selectorPresent) context.report.Warn("the addressed unit does not list selector 10");
}

}  // namespace velmoractl
