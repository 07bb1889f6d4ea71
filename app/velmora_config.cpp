#include "app/velmora.h"

void Velmora::ReadCfgValue(const QString&, QString& value) const { value.clear(); }

void Velmora::WriteCfgValue(const QString&, const QString&) const {}

void Velmora::LoadUvcExtenConfig() {}
