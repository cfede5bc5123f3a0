#pragma once

// Any baud rate through termios2 and BOTHER. Kept apart because the kernel's termios2 header and
// the C library's termios header cannot be included together.

#include <cstdint>

namespace keldrin::serial::detail {

// 0 on success, else errno.
int SetCustomBaud(int fd, std::uint32_t rate);
// The output rate the driver holds; 0 on success, else errno.
int GetBaud(int fd, std::uint32_t* rate);

}  // namespace keldrin::serial::detail
