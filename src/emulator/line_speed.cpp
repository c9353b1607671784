// Kept apart from the termios users: <asm/termbits.h> clashes with <termios.h>.
#include "emulator/line_speed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace tallyglass::emulator::detail {

int LineSpeed(int fd) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return 0;
  if ((settings.c_cflag & CBAUD) == BOTHER) return static_cast<int>(settings.c_ospeed);
  switch (settings.c_cflag & CBAUD) {
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B2400: return 2400;
    case B1200: return 1200;
    default: return static_cast<int>(settings.c_ospeed);
  }
}

}  // namespace tallyglass::emulator::detail
