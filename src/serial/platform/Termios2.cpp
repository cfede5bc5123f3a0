#include "serial/platform/Termios2.h"

#include <asm/termbits.h>
#include <errno.h>
#include <sys/ioctl.h>

namespace keldrin::serial::detail {

int SetCustomBaud(int fd, std::uint32_t rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

int GetBaud(int fd, std::uint32_t* rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    *rate = t.c_ospeed;
    return 0;
}

}  // namespace keldrin::serial::detail
