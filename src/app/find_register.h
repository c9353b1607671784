#pragma once
// "Найти аппарат": the port search behind a progress box with Cancel. The
// search runs on a worker thread that owns the link's port only while it
// searches; the box keeps the window responsive.
#include <optional>

#include "detect/port_search.h"

class QWidget;

namespace tallyglass {

// Runs the search over the speeds the connection window offers; the first
// register that answers, or none when none answered or the user cancelled.
// Notes (no ports, nothing found) are shown in message boxes.
std::optional<detect::FoundRegister> FindRegister(QWidget* parent, detect::SearchOptions options);

}  // namespace tallyglass
