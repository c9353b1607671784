#pragma once
// The speed a program set on a terminal, read back from our side of the line.
namespace tallyglass::emulator::detail {
// The output speed of the terminal `fd` in bit/s (BOTHER speeds included), or
// 0 when it cannot be read.
int LineSpeed(int fd);
}  // namespace tallyglass::emulator::detail
