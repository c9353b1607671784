#pragma once
// The connection settings kept in fpinit.ini, and the lists they select from.
// All text is Windows-1251.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyglass {

inline constexpr std::string_view kIniFileName = "fpinit.ini";

// The three texts of the connection window's lists.
struct ConnectionSettings {
  std::string port;
  std::string speed;
  std::string network_number;
  // The port value as the file holds it (cut to 9 characters, case kept).
  std::string port_as_saved{};
};

// The file's path in `directory`.
std::string IniPathIn(const std::string& directory);

// Sets `ini_path` from the current working directory when it is still empty,
// then creates the file with its default keys when it does not exist, telling
// the user first through `inform`. True when the file was created here.
// Failures to create or write it are not reported.
bool EnsureIniFile(std::string& ini_path, const std::function<void(std::string_view)>& inform);

// The saved texts, each cut to 9 characters; empty where a key is absent.
// The port is upper-cased (ASCII letters).
ConnectionSettings LoadConnectionSettings(const std::string& ini_path);

// Writes Port, Speed and NCase, in this order, as given.
void SaveConnectionSettings(const std::string& ini_path, const ConnectionSettings& settings);

// The index of the first item equal to `value`, or `default_index` when the
// value is empty or matches none.
int SelectIndex(const std::vector<std::string>& items, std::string_view value, int default_index);

// The port list's choice for a saved (upper-cased) port value: the first item
// equal to it; failing that, a device name of this machine equal to it without
// regard to case (ttyUSB0 is saved as typed and read back as TTYUSB0); else "COM1".
int SelectPortIndex(const std::vector<std::string>& items, std::string_view value);

// The same for a whole loaded setting: when nothing in the list matches and
// the saved port is no COM name but a serial device present on this machine
// ("pts/3", "ttyUSB0" plugged in after the list was made), it joins the list
// as written and is chosen; COM names that match nothing still give "COM1".
int ChoosePort(std::vector<std::string>& items, const ConnectionSettings& saved,
               const std::string& device_dir = "/dev");

// The lists of the connection window and their default items.
std::vector<std::string> PortItems(const std::string& device_dir = "/dev");
const std::vector<std::string>& SpeedItems();
const std::vector<std::string>& NetworkNumberItems();
inline constexpr int kDefaultPortIndex = 0;   // "COM1"
inline constexpr int kDefaultSpeedIndex = 6;  // "9600"
inline constexpr int kDefaultNetworkIndex = 0;  // "1"

// The serial ports found in `device_dir` (USB adapters, ACM modems and the
// like) as short names, in natural order: ttyACM0, ttyUSB0, ttyUSB2, ttyUSB10.
std::vector<std::string> FoundSerialPorts(const std::string& device_dir);

}  // namespace tallyglass
