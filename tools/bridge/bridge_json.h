// The bridge's answers and events as JSON objects, shared by its front ends, in velmoractl's own
// terms (key names, "events", "error" with cause, message and status).
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <vector>

#include "tools/bridge/bridge_types.h"

namespace velmora::bridge {

QJsonObject DeviceJson(const DeviceInfo& device);
QJsonObject FailureJson(const BridgeFailure& failure);
// {"ok": false, "error": {...}}
QJsonObject FailureAnswer(const BridgeFailure& failure);

QJsonObject KeyAnswer(const KeyOutcome& outcome);
QJsonObject StatusAnswer(const StatusOutcome& outcome);
QJsonObject ZoomAnswer(const ZoomOutcome& outcome);
QJsonObject DevicesAnswer(const std::vector<DeviceInfo>& devices);
QJsonObject KeysAnswer();
QJsonObject EventJson(const BridgeEvent& event);

QByteArray Compact(const QJsonObject& object);

}  // namespace velmora::bridge
