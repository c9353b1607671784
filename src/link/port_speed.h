#pragma once
// Speeds that have no B-constant are set through the kernel's termios2.
namespace tallyglass::link::detail {
// Sets input and output speed of the open port to `speed` bit/s with BOTHER;
// false when the driver refuses.
bool SetCustomSpeed(int fd, int speed);
}  // namespace tallyglass::link::detail
