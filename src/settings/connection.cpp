#include "settings/connection.h"


#include "link/link.h"
#include "link/protocol.h"
#include "text/cp1251.h"
#include "text/messages.h"
#include "text/numbers.h"

namespace tallyglass {

ConnectOutcome ConnectRegister(std::string_view port, std::string_view speed_text,
                               std::string_view network_text) {
  static const std::string kBadNumber =
      Utf8ToCp1251(messages::kBadNetworkNumber);
  static const std::string kCannotOpen = Utf8ToCp1251(messages::kCannotOpenPort);
  static const std::string kNoAnswer = Utf8ToCp1251(messages::kNoConnection);
  static const std::string kConnected = Utf8ToCp1251("Подключение установлено с  аппаратом:  ");

  const auto network_number = ParseNetworkNumber(network_text);
  if (!network_number) return {ConnectOutcome::Kind::kBadNetworkNumber, kBadNumber};
  // The speed list holds integers only; anything else is a speed no port takes.
  const auto typed_speed = ParseTypedNatural(speed_text);
  const int speed = typed_speed && *typed_speed <= 1000000000 ? static_cast<int>(*typed_speed) : 0;

  if (link::OpenPort(port, speed) != link::kPortOpened)
    return {ConnectOutcome::Kind::kOpenFailed, kCannotOpen};
  if (link::PollStation(*network_number) != 0) {
    link::ClosePort();
    return {ConnectOutcome::Kind::kNoAnswer, kNoAnswer};
  }
  // The first six characters of the register's status text, before its CR.
  return {ConnectOutcome::Kind::kConnected, kConnected + std::string(link::ReplyText().substr(0, 6))};
}

void DisconnectRegister() { link::ClosePort(); }

bool GetUSBPort(std::string_view, std::string_view) { return true; }

}  // namespace tallyglass
