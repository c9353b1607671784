#pragma once
// Connecting to the register and leaving it, as the connection window does it,
// without any window: the window shows what these return. Text is Windows-1251.
#include <optional>
#include <string>
#include <string_view>

#include "link/protocol.h"

namespace tallyglass {

struct ConnectOutcome {
  enum class Kind {
    kBadNetworkNumber,  // refused before the port was touched
    kOpenFailed,        // the port did not open; nothing was sent
    kNoAnswer,          // five polls went unanswered; the port is closed again
    kConnected,         // the port stays open
  };
  Kind kind;
  std::string text;  // the message to show, or the status bar text
};

// Opens the port, polls the register and, when it answers, leaves the port open.
ConnectOutcome ConnectRegister(std::string_view port, std::string_view speed_text,
                               std::string_view network_text);

// Closes the port.
void DisconnectRegister();

// The USB probe of the activation: it reports success at once and looks
// nothing up; no port name comes from it.
bool GetUSBPort(std::string_view device_class, std::string_view device_name);

}  // namespace tallyglass
