#include "app/connection.h"

#include <charconv>

#include "link/link.h"
#include "reader/query.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<int> ParseInt(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> ParseNetworkNumber(std::string_view text) {
  // One rule for connecting and for every request that follows.
  return parse_network_number(text);
}

ConnectOutcome ConnectRegister(std::string_view port, std::string_view speed_text,
                               std::string_view network_text) {
  static const std::string kBadNumber =
      Utf8ToCp1251("Сетевой номер аппарата должен быть целым числом от 1 до 99");
  static const std::string kCannotOpen = Utf8ToCp1251("Невозможно подключить порт");
  static const std::string kNoAnswer = Utf8ToCp1251(
      "Подключения нет. Проверьте выбранную скорость обмена и сетевой номер аппарата");
  static const std::string kConnected = Utf8ToCp1251("Подключение установлено с  аппаратом:  ");

  const auto network_number = ParseNetworkNumber(network_text);
  if (!network_number) return {ConnectOutcome::Kind::kBadNetworkNumber, kBadNumber};
  // The speed list holds integers only; anything else is a speed no port takes.
  const int speed = ParseInt(speed_text).value_or(0);

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
