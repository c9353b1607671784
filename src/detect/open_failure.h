#pragma once
// Why a port would not open: the lines shown after "Невозможно подключить
// порт", so that the user learns whether the device is missing, not theirs to
// open, or held by another program.
#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "detect/serial_devices.h"

namespace tallyglass::detect {

// Whose rights count when a device's permission bits are read.
struct Identity {
  uid_t uid = 0;
  std::vector<gid_t> groups;  // the primary group and the supplementary ones
  std::string user;           // the login name for the usermod command
  static Identity Current();
};

// The cause lines (Windows-1251) for a port that OpenPort refused at `speed`;
// empty only when nothing at all can be said.
std::vector<std::string> ExplainOpenFailure(std::string_view port_name, int speed,
                                            const SystemRoots& roots = {},
                                            const Identity& who = Identity::Current());

// The processes that hold `path` open, as "NAME (PID n)" in Windows-1251;
// processes whose descriptors we may not read are not seen.
std::vector<std::string> ProcessesHolding(const std::string& path, const SystemRoots& roots = {});

}  // namespace tallyglass::detect
