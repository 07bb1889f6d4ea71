// COM on the calling thread for a program without a GUI application object (velmoractl):
// CoInitializeEx as a single-threaded apartment, CoUninitialize when it goes if it succeeded.
#pragma once

#include "platform/status.h"

namespace velmora::windows {

class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // S_OK, S_FALSE (already initialised on this thread), or the failure.
    Status Result() const { return m_result; }

private:
    Status m_result;
};

}  // namespace velmora::windows
