// Kept apart from the termios users: <asm/termbits.h> clashes with <termios.h>.
#include "link/port_speed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace tallyglass::link::detail {

bool SetCustomSpeed(int fd, int speed) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
  settings.c_cflag |= BOTHER;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);
  settings.c_cflag |= static_cast<tcflag_t>(BOTHER) << IBSHIFT;
  settings.c_ispeed = static_cast<speed_t>(speed);
  settings.c_ospeed = static_cast<speed_t>(speed);
  return ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace tallyglass::link::detail
