#include "app/desktop_archive.h"

#include <QList>
#include <QString>
#include <QWidget>

#include "app/dialogs.h"
#include "app/qt_text.h"
#include "text/cp1251.h"

namespace tallyglass {

DesktopArchive::DesktopArchive(std::function<std::string()> path, std::function<void(const QString&)> status)
    : path_(std::move(path)), status_(std::move(status)) {}

DesktopArchive::~DesktopArchive() = default;

void DesktopArchive::BeforeRequest(int connection, RequestControl& control,
                                   const std::function<void(std::string_view)>& progress, QWidget* parent) {
  if (connection != connection_) {
    // A new connection may be another register: identified anew.
    connection_ = connection;
    session_.reset();
    archive_.reset();
    try {
      archive_ = std::make_unique<Archive>(path_(), Archive::Mode::kCreate);
      session_ = std::make_unique<ArchiveSession>(*archive_);
      session_->on_no_match = [this](const std::string& text) {
        if (status_) status_(ToQt(text));
      };
    } catch (const ArchiveError& e) {
      ShowError(parent, "Архив не может быть использован, документы не сохраняются: " + QString::fromUtf8(e.what()));
    }
  }
  control.progress = progress;
  control.needs_identity = nullptr;
  control.identify = nullptr;
  control.serve = nullptr;
  control.fetched = nullptr;
  if (session_) {
    session_->start_request();
    session_->bind(control);
  }
}

void DesktopArchive::AfterRequest(QWidget* parent) {
  if (!session_) return;
  session_->finish_request();
  QString text;
  if (!session_->missed().empty()) {
    text += "Архив не сохранил документы:";
    for (const auto& name : session_->missed()) text += " " + ToQt(name);
    text += " (" + ToQt(session_->missed_reason()) + ")";
  }
  if (!session_->conflicts().empty()) {
    if (!text.isEmpty()) text += "\n";
    text += "Документы отличаются от сохранённых в архиве копий, сохранены обе:";
    for (const auto& name : session_->conflicts()) text += " " + ToQt(name);
  }
  if (!session_->replaced().empty() && status_) {
    QString healed = "Архив: повреждённые копии заменены полученными с аппарата:";
    for (const auto& name : session_->replaced()) healed += " " + ToQt(name);
    status_(healed);
  }
  if (!text.isEmpty()) ShowError(parent, text);
}

}  // namespace tallyglass
