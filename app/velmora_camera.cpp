#include "app/velmora.h"

velmora::Status Velmora::QueryCameraZoom() { return velmora::StatusNotImpl; }

void ReadStatusRegisters() {}
