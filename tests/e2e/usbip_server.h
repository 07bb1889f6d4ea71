// Serves one USB/IP connection for the emulated camera: control transfers on endpoint 0,
// bulk IN transfers on the streaming endpoint held until they are unlinked.
#pragma once

#include <cstdint>
#include <set>

#include "tests/e2e/uvc_camera.h"

namespace velmora::e2e {

// Reads exactly length bytes; false on end of stream or error.
bool ReadFully(int fd, void* buffer, std::size_t length);
bool WriteFully(int fd, const void* buffer, std::size_t length);

class UsbipConnection {
public:
    // fd is the user-space end of the socket pair; the connection owns it and closes it.
    UsbipConnection(int fd, UvcCamera& camera);
    ~UsbipConnection();
    UsbipConnection(const UsbipConnection&) = delete;
    UsbipConnection& operator=(const UsbipConnection&) = delete;

    int Descriptor() const { return m_fd; }

    // Reads one command and answers it. False when the peer closed the connection or broke the protocol.
    bool ServeOne();

    std::size_t PendingTransfers() const { return m_pending.size(); }

private:
    bool Submit(const UsbipCommand& command);
    bool Unlink(const UsbipCommand& command);

    int m_fd;
    UvcCamera& m_camera;
    std::set<std::uint32_t> m_pending;  // seqnums of held bulk IN transfers
};

}  // namespace velmora::e2e
