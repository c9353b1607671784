#pragma once
// What the system holds in the way of serial devices. Every look at the
// system goes through SystemRoots, so tests can point it at a folder of their own.
#include <string>
#include <string_view>
#include <vector>

namespace tallyglass::detect {

struct SystemRoots {
  std::string dev = "/dev";
  std::string proc = "/proc";
  std::string sys = "/sys";
};

// The serial devices present, as paths under roots.dev: ttyUSB*, then ttyACM*,
// then the ttyS* that the kernel reports as a real UART (a ttyS whose
// sys/class/tty/NAME/type is not 0) and that is not the kernel's console;
// numbers in numeric order.
std::vector<std::string> ListSerialDevices(const SystemRoots& roots = {});

enum class DeviceKind {
  kMissing,    // nothing by that name
  kSerial,     // a character device served by a terminal driver (or one we cannot tell)
  kNotSerial,  // a regular file, a folder, another kind of device
};

// What `path` is. For kNotSerial, `what` (Windows-1251) says what it is instead.
DeviceKind ClassifyDevice(const std::string& path, const SystemRoots& roots = {},
                          std::string* what = nullptr);

// The device file of a port name, under roots.dev ("COM1" is <dev>/ttyS0).
std::string DeviceFile(std::string_view port_name, const SystemRoots& roots = {});

}  // namespace tallyglass::detect
