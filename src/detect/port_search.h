#pragma once
// The port search: polls candidate ports at the register's speeds, most usual
// first, until a register answers. It uses the link's one port, so it must not
// run while the program is connected; two searches in two programs do not
// fight over a port, because the link opens ports exclusively and the second
// finds the port refused.
#include <functional>
#include <string>
#include <vector>

#include "detect/serial_devices.h"

namespace tallyglass::detect {

// The register's speeds in the order they are tried: the two that most
// registers are set to first.
inline const std::vector<int> kSearchSpeeds = {9600, 115200, 19200, 38400, 57600,
                                               4800, 14400,  28800, 56000};

struct SearchOptions {
  std::vector<std::string> ports;  // port names or paths; empty: the serial devices present
  std::vector<int> speeds;         // empty: kSearchSpeeds
  std::vector<int> cases;          // network numbers; empty: 1 only
  bool all = false;                // go on after the first register that answers
  SystemRoots roots;
};

struct FoundRegister {
  std::string port;  // as given, or the device path when found by listing
  int speed = 0;
  int network_number = 0;
  std::string status;  // the register's status text (Windows-1251)
};

struct SearchEvent {
  enum class Kind {
    kSkipped,       // a given port is missing or not a serial device; never opened
    kTrying,        // about to poll port at speed with network number
    kPortRefused,   // the port would not open; it is left out from here on
    kFound,         // a register answered
  };
  Kind kind = Kind::kTrying;
  std::string port;
  int speed = 0;
  int network_number = 0;
  std::string text;  // why skipped or refused, or the status text (Windows-1251)
  int step = 0;      // polls made so far and in all, for a progress bar
  int steps = 0;
};

// Called before every poll and for every note; returning false stops the
// search, which then closes the port it holds and returns.
using SearchProgress = std::function<bool(const SearchEvent&)>;

struct SearchResult {
  std::vector<FoundRegister> found;
  bool cancelled = false;
  int ports_searched = 0;  // candidates that were not skipped
};

// Order: network number (as given, 1 first by default), then speed, then port,
// so the usual setups come first whatever the number of ports.
SearchResult SearchRegisters(const SearchOptions& options, const SearchProgress& progress);

// A line for people (Windows-1251): "ttyUSB0: 9600 бод, касса 1..." and so on.
std::string DescribeEvent(const SearchEvent& event);

}  // namespace tallyglass::detect
