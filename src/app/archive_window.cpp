#include "app/archive_window.h"

#include <QComboBox>
#include <QList>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringList>

#include <exception>
#include <system_error>

#include "app/dialogs.h"
#include "app/listing_model.h"
#include "app/listing_tools.h"
#include "app/tape_output.h"
#include "app/qt_text.h"
#include "archive/archive.h"
#include "archive/archive_journal.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/shared_di.h"
#include "journal/sootv.h"
#include "print/tape_pdf.h"
#include "print/text_export.h"
#include "reader/reader_state.h"
#include "reader/save_listing.h"
#include "render/render_listing.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tallyglass {
namespace {

QLabel* Label(const char* text, QWidget* parent, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, 118, 24);
  return label;
}

QLineEdit* Edit(QWidget* parent, int x, int y, const char* hint = "") {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(x, y, 133, 24);
  edit->setPlaceholderText(hint);
  return edit;
}

// "YYYYMMDD" of "дд.мм.гг"; "" when it is not a date of that form.
std::string DayOf(const QString& text) {
  const QString t = text.trimmed();
  if (t.size() != 8 || t[2] != '.' || t[5] != '.') return {};
  const QString day = "20" + t.mid(6, 2) + t.mid(3, 2) + t.mid(0, 2);
  for (const QChar c : day)
    if (!c.isDigit()) return {};
  return day.toStdString();
}

}  // namespace

ArchiveWindow::ArchiveWindow(const std::string& path, QWidget* parent) : QDialog(parent), path_(path) {
  setWindowTitle("Архив");
  setFixedSize(833, 640);
  const QFont font = ListingFont();
  model_ = new ListingModel(&listing_, this);
  model_->SetItemSize(QFontMetrics(font).horizontalAdvance(QLatin1Char('0')), 16);
  ListView = new QListView(this);
  ListView->setObjectName("ListView");
  ListView->setFont(font);
  ListView->setUniformItemSizes(true);
  ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView->setModel(model_);
  ListView->setGeometry(24, 8, 473, 569);

  Label("Аппарат", this, 520, 16);
  RegisterBox = new QComboBox(this);
  RegisterBox->setObjectName("RegisterBox");
  RegisterBox->setGeometry(520, 40, 281, 24);
  Label("Тип документа", this, 520, 80);
  TypeBox = new QComboBox(this);
  TypeBox->setObjectName("TypeBox");
  TypeBox->setGeometry(656, 80, 145, 24);
  for (int i = kChoiceZ; i <= kChoiceService; ++i) TypeBox->addItem(ToQt(type_choice_text(i)));
  TypeBox->setCurrentIndex(kChoiceCheckZ);
  Label("Начальный номер", this, 520, 120);
  FromNumber = Edit(this, 668, 120);
  Label("Конечный номер", this, 520, 154);
  ToNumber = Edit(this, 668, 154);
  ByNumbersButton = new QPushButton("Показать по номерам", this);
  ByNumbersButton->setGeometry(520, 188, 281, 28);
  Label("Начальная дата", this, 520, 240);
  FromDate = Edit(this, 668, 240, "дд.мм.гг");
  Label("Конечная дата", this, 520, 274);
  ToDate = Edit(this, 668, 274, "дд.мм.гг");
  ByDatesButton = new QPushButton("Показать по датам", this);
  ByDatesButton->setGeometry(520, 308, 281, 28);
  SaveButton = new QPushButton("Сохранить", this);
  SaveButton->setGeometry(720, 504, 81, 28);
  auto* close_button = new QPushButton("Закрыть", this);
  close_button->setGeometry(720, 548, 81, 28);
  // The listing's tools in a row below it, and the paper beside "Сохранить".
  PdfButton = new QPushButton("PDF…", this);
  PdfButton->setObjectName("PdfButton");
  PdfButton->setGeometry(520, 504, 90, 28);
  PrintButton = new QPushButton("Печать…", this);
  PrintButton->setObjectName("PrintButton");
  PrintButton->setGeometry(620, 504, 90, 28);
  ListingTools::Source source;
  source.documents = [this] {
    std::vector<const ExactDocument*> documents;
    for (const auto& d : exact_.documents) documents.push_back(&d);
    return documents;
  };
  source.abandoned = [] { return std::vector<AbandonedReceipt>{}; };
  source.failure = [this] { return exact_failure_; };
  tools_ = new ListingTools(this, ListView, &listing_, std::move(source), 596);
  connect(PdfButton, &QPushButton::clicked, this,
          [this] { SaveListingPdf(this, TapeSource{listing_, document_starts_, heading_}); });
  connect(PrintButton, &QPushButton::clicked, this,
          [this] { PrintListing(this, TapeSource{listing_, document_starts_, heading_}); });

  StatusLabel = new QLabel(this);
  StatusLabel->setGeometry(520, 350, 281, 140);
  StatusLabel->setWordWrap(true);

  connect(ByNumbersButton, &QPushButton::clicked, this, [this] { Render(false); });
  connect(ByDatesButton, &QPushButton::clicked, this, [this] { Render(true); });
  connect(close_button, &QPushButton::clicked, this, &QDialog::close);
  connect(SaveButton, &QPushButton::clicked, this, [this] {
    // Windows-1251 with CR LF as the query window saves, or UTF-8.
    const QString utf8 = "Текст UTF-8 (*.txt)";
    QString chosen;
    const QString file = QFileDialog::getSaveFileName(this, "Сохранить", QString(), "*.txt;;" + utf8, &chosen);
    if (!file.isEmpty()) SaveTo(file, chosen == utf8 ? TextEncoding::utf8 : TextEncoding::cp1251);
  });

  try {
    const Archive archive(path_, Archive::Mode::kReadOnly);
    for (const auto& r : archive.registers(false)) {
      RegisterBox->addItem(ToQt(Utf8ToCp1251("ЗН ") + r.zn + Utf8ToCp1251("  ФН ") + r.fn),
                           QVariant::fromValue<qlonglong>(r.id));
    }
  } catch (const ArchiveError& e) {
    StatusLabel->setText(QString::fromUtf8(e.what()));
    // A missing archive is only empty; a file that is no archive is said aloud.
    if (QFileInfo::exists(QString::fromStdString(path_)))
      ShowError(this, "Архив не может быть использован: " + QString::fromUtf8(e.what()));
  }
  if (RegisterBox->count() == 0 && StatusLabel->text().isEmpty()) StatusLabel->setText("Архив пуст.");
}

ArchiveWindow::~ArchiveWindow() = default;

void ArchiveWindow::Render(bool by_dates) {
  static const std::string kBroken = Utf8ToCp1251("Непредвиденный сбой в структуре получаемой информации!");
  listing_.clear();
  document_starts_.clear();
  exact_ = {};
  exact_failure_.clear();
  StatusLabel->clear();
  ArchiveRequest request;
  request.type_choice = TypeBox->currentIndex();
  if (by_dates) {
    request.from_day = DayOf(FromDate->text());
    request.to_day = DayOf(ToDate->text());
    if (request.from_day->empty() || request.to_day->empty()) {
      StatusLabel->setText("Даты вводятся как дд.мм.гг.");
      model_->Refresh();
      return;
    }
  } else {
    if (!FromNumber->text().trimmed().isEmpty()) request.from = ParseExactInt32(FromNumber->text().trimmed().toStdString());
    if (!ToNumber->text().trimmed().isEmpty()) request.to = ParseExactInt32(ToNumber->text().trimmed().toStdString());
    if ((!FromNumber->text().trimmed().isEmpty() && !request.from) ||
        (!ToNumber->text().trimmed().isEmpty() && !request.to)) {
      StatusLabel->setText("Номера вводятся целыми числами.");
      model_->Refresh();
      return;
    }
  }
  try {
    const Archive archive(path_, Archive::Mode::kReadOnly);
    const std::int64_t id = RegisterBox->currentIndex() < 0 ? 0 : RegisterBox->currentData().toLongLong();
    const std::string text = archived_journal(archive, id, request);
    // Rendered as the command line renders a collected journal.
    rq model;
    control loader;
    loader.clear();
    if (!parse_and_load(text, model, loader)) {
      listing_.push_back(kBroken);
    } else {
      const bool z = request.type_choice == kChoiceZ;
      const std::int32_t first = request.from.value_or(z ? model.zvit_no_min : model.check_no_min);
      const std::int32_t last = request.to.value_or(z ? model.zvit_no_max : model.check_no_max);
      sootv di_by_position;
      const RenderResult rendered = render_listing(model, {request.type_choice, first, last}, di_by_position, listing_);
      write_error_log(rendered, "error.log");
      document_starts_ = rendered.document_starts;
      heading_ = heading_for(model, request.type_choice, first, last);
      // The same documents read exactly, for export and reconciliation.
      try {
        exact_.add_text(text, "archive");
        exact_.sort();
      } catch (const ExportError& e) {
        exact_failure_ = e.what();
      }
      // A DI held by two differing documents is said on the status line.
      SharedDiFinder shared;
      shared.add(text);
      QStringList lines;
      for (const auto& line : shared_di_lines(shared.shared())) lines << QString::fromStdString(line);
      StatusLabel->setText(lines.join("; "));
    }
  } catch (const std::exception& e) {
    StatusLabel->setText(QString::fromUtf8(e.what()));
  }
  model_->Refresh();
  tools_->ListingChanged();
  ListView->scrollToTop();
}

void ArchiveWindow::SaveTo(const QString& path, TextEncoding encoding) {
  try {
    save_listing_as(listing_, path.toStdString(), encoding);
  } catch (const std::system_error& e) {
    ShowError(this, QString::fromUtf8(e.what()));
  }
}

}  // namespace tallyglass
