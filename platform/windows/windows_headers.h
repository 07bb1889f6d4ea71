// The Windows, COM, DirectShow and kernel-streaming headers, in the order mingw-w64 needs:
// objbase.h before ksproxy.h, strmif.h before ksmedia.h, windows.h before dbt.h.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <strmif.h>
#include <uuids.h>

#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>

#include <dbt.h>
