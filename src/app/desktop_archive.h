#pragma once
// The query window's requests with the archive: opened at the first request of
// each connection from the path fpinit.ini names, bound to the request's
// control, and what it did told afterwards. An archive that cannot be used is
// said once in an error box and the requests go on without it.
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "archive/archive_session.h"
#include "reader/request_control.h"

class QWidget;

namespace tallyglass {

class DesktopArchive {
 public:
  // path: where the archive lies; status: the connection window's status bar.
  DesktopArchive(std::function<std::string()> path, std::function<void(const QString&)> status);
  ~DesktopArchive();

  // Before a request of connection number `connection`: the session of that
  // connection bound to control (whose own progress line is `progress`).
  void BeforeRequest(int connection, RequestControl& control,
                     const std::function<void(std::string_view)>& progress, QWidget* parent);
  // After it: conflicts and documents the archive could not keep, in a box.
  void AfterRequest(QWidget* parent);

  const ArchiveSession* Session() const { return session_.get(); }

 private:
  std::function<std::string()> path_;
  std::function<void(const QString&)> status_;
  int connection_ = -1;
  std::unique_ptr<Archive> archive_;
  std::unique_ptr<ArchiveSession> session_;
};

}  // namespace tallyglass
