// fpinit.ini bytes in: the connection settings read from it, then saved into
// it and read back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "settings/ini_file.h"
#include "settings/fpinit_settings.h"
#include "fuzz_support.h"

using namespace tallyglass;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = IniPathIn(fuzz::WorkDir());
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    TG_FUZZ_CHECK(f != nullptr);
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const ConnectionSettings loaded = LoadConnectionSettings(path);
  TG_FUZZ_CHECK(loaded.port.size() <= 9 && loaded.speed.size() <= 9 &&
                loaded.network_number.size() <= 9);
  std::vector<std::string> ports = PortItems(fuzz::WorkDir());
  const int port = ChoosePort(ports, loaded, fuzz::WorkDir());
  TG_FUZZ_CHECK(port >= 0 && static_cast<std::size_t>(port) < ports.size());
  (void)SelectIndex(SpeedItems(), loaded.speed, kDefaultSpeedIndex);
  (void)SelectIndex(NetworkNumberItems(), loaded.network_number, kDefaultNetworkIndex);
  (void)ReadProfileString(path, "LogFile", "LogName", "", 256);

  // What the connection window saves, it reads back at the next activation.
  ConnectionSettings saved;
  saved.port = "COM7";
  saved.speed = "115200";
  saved.network_number = "42";
  SaveConnectionSettings(path, saved);
  const ConnectionSettings again = LoadConnectionSettings(path);
  TG_FUZZ_CHECK(again.port == saved.port);
  TG_FUZZ_CHECK(again.speed == saved.speed);
  TG_FUZZ_CHECK(again.network_number == saved.network_number);
  return 0;
}
