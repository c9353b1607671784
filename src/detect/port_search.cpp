#include "detect/port_search.h"

#include <map>

#include "link/link.h"
#include "text/cp1251.h"

namespace tallyglass::detect {
namespace {

std::string T(std::string_view utf8) { return Utf8ToCp1251(utf8); }

struct Candidate {
  std::string name;  // what OpenPort is given and the result names
  bool dropped = false;
  int locked_speed = 0;  // with --all: the speed a register answered at on this line
};

}  // namespace

SearchResult SearchRegisters(const SearchOptions& options, const SearchProgress& progress) {
  SearchResult result;
  const std::vector<int>& speeds = options.speeds.empty() ? kSearchSpeeds : options.speeds;
  const std::vector<int> cases = options.cases.empty() ? std::vector<int>{1} : options.cases;
  auto report = [&](SearchEvent event) {
    if (!progress(event)) result.cancelled = true;
    return !result.cancelled;
  };

  std::vector<Candidate> candidates;
  if (options.ports.empty()) {
    for (std::string& path : ListSerialDevices(options.roots)) candidates.push_back({std::move(path)});
  } else {
    for (const std::string& port : options.ports) {
      std::string what;
      const DeviceKind kind = ClassifyDevice(DeviceFile(port, options.roots), options.roots, &what);
      if (kind == DeviceKind::kSerial) {
        candidates.push_back({port});
        continue;
      }
      SearchEvent skipped;
      skipped.kind = SearchEvent::Kind::kSkipped;
      skipped.port = port;
      skipped.text = kind == DeviceKind::kMissing ? T("нет такого устройства") : what;
      if (!report(skipped)) return result;
    }
  }
  result.ports_searched = static_cast<int>(candidates.size());

  const int steps = static_cast<int>(candidates.size() * speeds.size() * cases.size());
  int step = 0;
  for (const int network_number : cases) {
    for (const int speed : speeds) {
      for (Candidate& c : candidates) {
        if (c.dropped || (c.locked_speed != 0 && c.locked_speed != speed)) {
          ++step;
          continue;
        }
        SearchEvent event;
        event.port = c.name;
        event.speed = speed;
        event.network_number = network_number;
        event.step = step++;
        event.steps = steps;
        if (!report(event)) return result;
        const int opened = link::OpenPort(c.name, speed);
        if (opened == link::kUnsupportedSpeed) continue;
        if (opened != link::kPortOpened) {
          c.dropped = true;
          event.kind = SearchEvent::Kind::kPortRefused;
          event.text = opened == link::kPortRefused
                           ? T("не открывается: занят другой программой (или другим поиском) либо нет прав")
                           : T("не принял настройки линии");
          if (!report(event)) return result;
          continue;
        }
        const bool answered = link::PollStation(network_number) == 0;
        const std::string status(link::ReplyText());
        link::ClosePort();
        if (!answered) continue;
        result.found.push_back({c.name, speed, network_number, status});
        event.kind = SearchEvent::Kind::kFound;
        event.text = status;
        if (!report(event)) return result;
        if (!options.all) return result;
        c.locked_speed = speed;
      }
    }
  }
  return result;
}

std::string DescribeEvent(const SearchEvent& e) {
  const std::string where = e.port + ": " + std::to_string(e.speed) + T(" бод, касса ") +
                            std::to_string(e.network_number);
  switch (e.kind) {
    case SearchEvent::Kind::kSkipped:
      return e.port + T(": пропущен — ") + e.text;
    case SearchEvent::Kind::kTrying:
      return T("[") + std::to_string(e.step + 1) + "/" + std::to_string(e.steps) + "] " + where + "...";
    case SearchEvent::Kind::kPortRefused:
      return e.port + T(": пропущен — ") + e.text;
    case SearchEvent::Kind::kFound:
      return where + T(": аппарат отвечает — ") + e.text;
  }
  return where;
}

}  // namespace tallyglass::detect
