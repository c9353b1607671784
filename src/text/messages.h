#pragma once
// The program's own fixed texts that more than one part of it shows, in one
// place. Source text is UTF-8; each user converts it to Windows-1251 once.
#include <string_view>

namespace tallyglass::messages {

// Listing lines of a request or render that could not be read.
inline constexpr std::string_view kStructureFailure = "Непредвиденный сбой в структуре получаемой информации!";
inline constexpr std::string_view kOtherRange = "Попробуйте выбрать другой диапазон номеров или дат!";
// The listing of a request that found nothing to show.
inline constexpr std::string_view kNoData = "Запрашиваемые данные отсутствуют!";

// Connecting.
inline constexpr std::string_view kCannotOpenPort = "Невозможно подключить порт";
inline constexpr std::string_view kNoConnection =
    "Подключения нет. Проверьте выбранную скорость обмена и сетевой номер аппарата";
inline constexpr std::string_view kBadNetworkNumber = "Сетевой номер аппарата должен быть целым числом от 1 до 99";

// The no-link question while fetching.
inline constexpr std::string_view kNoLinkCaption = "Нет связи!";
inline constexpr std::string_view kNoLinkText = "Повторить";

// The licence, as the CLI's version text and the About window state it.
inline constexpr std::string_view kCopyright = "Copyright 2026 The Tallyglass developers";
inline constexpr std::string_view kLicence =
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.";
inline constexpr std::string_view kLicenceShort = "Свободная программа: GNU GPL версии 3 или более поздней";

}  // namespace tallyglass::messages
