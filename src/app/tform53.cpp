#include "app/tform53.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <system_error>

#include "app/desktop_archive.h"
#include "app/dialogs.h"
#include "settings/archive_settings.h"
#include "app/listing_model.h"
#include "app/tape_output.h"
#include "app/listing_tools.h"
#include "export/export_writer.h"
#include "app/qt_text.h"
#include "app/tform3.h"
#include "app/tform4.h"
#include "reader/query.h"
#include "print/tape_pdf.h"
#include "reader/request.h"

namespace tallyglass {
namespace {

constexpr int kItemHeight = 14;
// The row added below the designed window for "PDF…" and "Печать…".
constexpr int kDesignedHeight = 638;
constexpr int kAddedRowHeight = 40;
// The second file type of the save dialog: the same lines in UTF-8.
const QString kUtf8Filter = "Текст UTF-8 (*.txt)";

QListView* MakeList(QWidget* parent, ListingModel* model, const QFont& font) {
  auto* view = new QListView(parent);
  view->setFont(font);
  view->setUniformItemSizes(true);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setModel(model);
  view->setGeometry(24, 8, 473, 569);
  return view;
}

QLabel* MakeLabel(const char* text, QWidget* parent, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, 118, 24);
  return label;
}

// A typed date or time with one-digit parts in its two-digit form
// ("1.3.16" -> "01.03.16", "9:05" -> "09:05"); other text as it is.
QString TwoDigitForm(const QString& text, QChar separator, int fields) {
  const QStringList parts = text.split(separator);
  if (parts.size() != fields) return text;
  QStringList digits;
  for (const QString& part : parts) {
    const QString trimmed = part.trimmed();
    bool number = false;
    trimmed.toInt(&number);
    if (!number || trimmed.size() > 2 || trimmed.startsWith('+') || trimmed.startsWith('-')) return text;
    digits << trimmed.rightJustified(2, '0');
  }
  return digits.join(separator);
}

QLineEdit* MakeEdit(QWidget* parent, int x, int y, int width) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(x, y, width, 24);
  return edit;
}

// A date or time field: up to two digits between the separators, so that
// "1.3.16" and "9:05" can be typed as people write them; the field shows the
// two-digit form once editing ends.
QLineEdit* MakeDateTimeEdit(QWidget* parent, int x, int y, int width, QChar separator, int fields,
                            const char* hint) {
  QLineEdit* edit = MakeEdit(parent, x, y, width);
  const QString piece = " *\\d{0,2} *";
  QString pattern = piece;
  for (int i = 1; i < fields; ++i) pattern += QString("(\\") + separator + piece;
  for (int i = 1; i < fields; ++i) pattern += ")?";
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
  edit->setMaxLength(fields * 3 + 2);
  edit->setToolTip(hint);
  edit->setPlaceholderText(hint);
  QObject::connect(edit, &QLineEdit::editingFinished, edit,
                   [edit, separator, fields] { edit->setText(TwoDigitForm(edit->text(), separator, fields)); });
  return edit;
}

QPushButton* MakeButton(const char* text, QWidget* parent, int x, int y, int width) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(x, y, width, 28);
  return button;
}

}  // namespace

TForm53::TForm53(TForm3* connection, QWidget* parent) : QWidget(parent), connection_(connection) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_QuitOnClose, false);
  setWindowTitle("Форма запроса и отображения данных");
  setFixedSize(833, kDesignedHeight + kAddedRowHeight);

  // What a request reads while it runs: the connection window's network
  // number, pending input, and the busy notice's second line while the
  // program is the active one.
  control_.network_number = [this] { return FromQt(connection_->NetworkNumberText()); };
  control_.pump = [] { QCoreApplication::processEvents(); };
  control_.progress = [this](std::string_view line) {
    if (busy_) busy_->SetProgress(ToQt(line));
  };
  control_.active = [this] { return connection_->AppActive(); };
  progress_ = control_.progress;
  archive_ = std::make_unique<DesktopArchive>([this] { return LoadArchivePath(connection_->IniPath()); },
                                              [this](const QString& text) { connection_->ShowStatus(text); });

  const QFont font = ListingFont();
  raw_model_ = new ListingModel(&state_.raw_list, this);
  listing_model_ = new ListingModel(&state_.listing, this);
  const QFontMetrics metrics(font);
  listing_model_->SetItemSize(metrics.horizontalAdvance(QLatin1Char('0')), kItemHeight);
  raw_model_->SetItemSize(metrics.horizontalAdvance(QLatin1Char('0')), kItemHeight);
  // The raw list lies beneath the listing, out of sight.
  ListBox1 = MakeList(this, raw_model_, font);
  ListBox1->setObjectName("ListBox1");
  ListBox1->hide();
  ListBox2 = MakeList(this, listing_model_, font);
  ListBox2->setObjectName("ListBox2");

  GroupBox1 = new QGroupBox("по номерам", this);
  GroupBox1->setGeometry(520, 24, 281, 201);
  Label1 = MakeLabel("Тип документа", GroupBox1, 12, 26);
  ComboBox1 = new QComboBox(GroupBox1);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->setCompleter(nullptr);  // typed text stays as typed and selects nothing
  ComboBox1->setGeometry(136, 26, 133, 24);
  for (int i = kChoiceZ; i <= kChoiceService; ++i) ComboBox1->addItem(ToQt(type_choice_text(i)));
  Label4 = MakeLabel("Пароль", GroupBox1, 12, 60);
  Edit3 = MakeEdit(GroupBox1, 136, 60, 133);
  Label2 = MakeLabel("Начальный номер", GroupBox1, 12, 94);
  Edit1 = MakeEdit(GroupBox1, 136, 94, 133);
  Label3 = MakeLabel("Конечный номер", GroupBox1, 12, 128);
  Edit2 = MakeEdit(GroupBox1, 136, 128, 133);
  Button1 = MakeButton("Получить", GroupBox1, 136, 162, 133);
  Button1->setObjectName("Button1");
  Button6 = MakeButton("Печать на РРО", GroupBox1, 12, 162, 118);
  Button6->setEnabled(false);
  Button6->hide();

  GroupBox2 = new QGroupBox("по датам", this);
  GroupBox2->setGeometry(520, 248, 281, 185);
  Label5 = MakeLabel("Начальная дата", GroupBox2, 12, 26);
  Edit4 = MakeDateTimeEdit(GroupBox2, 136, 26, 133, '.', 3, "дд.мм.гг");
  Label6 = MakeLabel("Конечная дата", GroupBox2, 12, 60);
  Edit5 = MakeDateTimeEdit(GroupBox2, 136, 60, 133, '.', 3, "дд.мм.гг");
  Label7 = MakeLabel("Время", GroupBox2, 12, 94);
  Edit6 = MakeDateTimeEdit(GroupBox2, 136, 94, 62, ':', 2, "чч:мм");
  Edit7 = MakeDateTimeEdit(GroupBox2, 207, 94, 62, ':', 2, "чч:мм");
  Button4 = MakeButton("Получить", GroupBox2, 12, 140, 118);
  Button4->setObjectName("Button4");
  Button5 = MakeButton("Вернуть номера", GroupBox2, 136, 140, 133);
  Button5->setObjectName("Button5");

  Button3 = MakeButton("Сохранить", this, 720, 456, 81);
  Button3->setObjectName("Button3");
  Button2 = MakeButton("Закрыть", this, 720, 504, 81);
  Button2->setObjectName("Button2");

  SaveDialog1 = nullptr;  // made at the first save: it starts watching the directory

  PdfButton = MakeButton("PDF…", this, 24, kDesignedHeight + 4, 100);
  PdfButton->setObjectName("PdfButton");
  PrintButton = MakeButton("Печать…", this, 132, kDesignedHeight + 4, 100);
  PrintButton->setObjectName("PrintButton");
  // Added below the designed area: the find bar under the listing, export and
  // reconciliation beside it.
  ListingTools::Source source;
  source.documents = [this] {
    return select_for_choice(exact_, state_.type_index, state_.first_number, state_.last_number);
  };
  source.abandoned = [this] {
    std::vector<AbandonedReceipt> lost;
    if (state_.type_index == kChoiceZ) return lost;
    for (const auto& [number, state] : state_.check_state.ordered_copy()) {
      if (state == 2 && number >= state_.first_number && number <= state_.last_number) lost.push_back({{}, {}, number});
    }
    return lost;
  };
  source.failure = [this] { return exact_failure_; };
  tools_ = new ListingTools(this, ListBox2, &state_.listing, std::move(source), 596);

  connect(ComboBox1, &QComboBox::activated, this, &TForm53::ComboBox1Change);
  connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    // Typed text selects the entry it spells, else none.
    const int index = ComboBox1->findText(text, Qt::MatchExactly);
    if (index != ComboBox1->currentIndex()) {
      const int cursor = ComboBox1->lineEdit()->cursorPosition();
      const QSignalBlocker block(ComboBox1);
      ComboBox1->setCurrentIndex(index);
      ComboBox1->setEditText(text);
      ComboBox1->lineEdit()->setCursorPosition(cursor);
    }
    ComboBox1Change();
  });
  connect(Button1, &QPushButton::clicked, this, &TForm53::Button1Click);
  connect(Button4, &QPushButton::clicked, this, &TForm53::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm53::Button5Click);
  connect(Button3, &QPushButton::clicked, this, &TForm53::Button3Click);
  connect(Button2, &QPushButton::clicked, this, &TForm53::Button2Click);
  connect(PdfButton, &QPushButton::clicked, this, &TForm53::PdfButtonClick);
  connect(PrintButton, &QPushButton::clicked, this, &TForm53::PrintButtonClick);

  FormCreate();
}

TForm53::~TForm53() = default;

void TForm53::FormCreate() {
  form_create(state_, current_local_time());
  PushFields();
}

void TForm53::PullFields() {
  state_.Edit1 = FromQt(Edit1->text());
  state_.Edit2 = FromQt(Edit2->text());
  state_.Edit3 = FromQt(Edit3->text());
  state_.Edit4 = FromQt(TwoDigitForm(Edit4->text(), '.', 3));
  state_.Edit5 = FromQt(TwoDigitForm(Edit5->text(), '.', 3));
  state_.Edit6 = FromQt(TwoDigitForm(Edit6->text(), ':', 2));
  state_.Edit7 = FromQt(TwoDigitForm(Edit7->text(), ':', 2));
  state_.type_index = ComboBox1->currentIndex();
  state_.type_text = FromQt(ComboBox1->currentText());
}

void TForm53::PushFields() {
  Edit1->setText(ToQt(state_.Edit1));
  Edit2->setText(ToQt(state_.Edit2));
  Edit3->setText(ToQt(state_.Edit3));
  Edit4->setText(ToQt(state_.Edit4));
  Edit5->setText(ToQt(state_.Edit5));
  Edit6->setText(ToQt(state_.Edit6));
  Edit7->setText(ToQt(state_.Edit7));
  const QSignalBlocker block(ComboBox1);
  ComboBox1->setCurrentIndex(state_.type_index);
  ComboBox1->setEditText(state_.type_index >= 0 ? ComboBox1->itemText(state_.type_index)
                                                : ToQt(state_.type_text));
}

void TForm53::RefreshLists() {
  listing_model_->Refresh();
  raw_model_->Refresh();
  tools_->ListingChanged();
}

void TForm53::AbsorbRawList() {
  if (state_.raw_list.size() <= 3) return;  // declaration, root and its end only
  std::string text;
  for (const auto& line : state_.raw_list) text.append(line).append("\r\n");
  try {
    exact_.add_text(text, "temp.xml");
    exact_.sort();
  } catch (const ExportError& e) {
    exact_failure_ = e.what();
  }
}

void TForm53::ShowModally() {
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();
  activateWindow();
}

void TForm53::ComboBox1Change() {
  PullFields();
  type_change(state_);
  Edit1->setText(ToQt(state_.Edit1));
  Edit2->setText(ToQt(state_.Edit2));
}

void TForm53::RunRequest(int mode) {
  PullFields();
  archive_->BeforeRequest(connection_->ConnectionNumber(), control_, progress_, this);
  const RequestResult result = run_request(state_, *this, control_, mode);
  archive_->AfterRequest(this);
  AbsorbRawList();
  RefreshLists();
  PushFields();
  // A new listing is read from its top; failure lines appended to the old one
  // are brought into view, or nothing would seem to happen.
  ListBox2->doItemsLayout();
  if (result.outcome == RequestOutcome::kStructureFailure || result.outcome == RequestOutcome::kFailed) {
    ListBox2->scrollToBottom();
  } else if (result.outcome == RequestOutcome::kRendered) {
    ListBox2->scrollToTop();
  }
}

void TForm53::Button1Click() { RunRequest(kByNumbers); }

void TForm53::Button4Click() { RunRequest(kByDates); }

void TForm53::Button5Click() {
  PullFields();
  try {
    return_numbers(state_, control_);
  } catch (const std::exception& e) {
    ShowError(this, ToQt(e.what()));
  }
  PushFields();
}

void TForm53::Button3Click() {
  if (!SaveDialog1) {
    SaveDialog1 = new QFileDialog(this);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setDefaultSuffix("txt");
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1->setDirectory(QDir::currentPath());
  }
  SaveDialog1->setNameFilters({"*.txt", kUtf8Filter});
  SaveDialog1->selectNameFilter("*.txt");
  SaveDialog1->selectFile("*.txt");
  if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) return;
  const QString path = SaveDialog1->selectedFiles().constFirst();
  // The initial "*.txt" is a pattern, not a name to write.
  if (QFileInfo(path).fileName().contains(QRegularExpression("[*?]"))) return;
  SaveListingTo(path, SaveDialog1->selectedNameFilter() == kUtf8Filter ? TextEncoding::utf8 : TextEncoding::cp1251);
}

void TForm53::SaveListingTo(const QString& path, TextEncoding encoding) {
  try {
    save_listing_as(state_.listing, QFile::encodeName(path).toStdString(), encoding);
  } catch (const std::system_error& e) {
    ShowError(this, "Не удалось сохранить файл: " + QString::fromLocal8Bit(e.what()));
  }
}

void TForm53::Button2Click() { close(); }

namespace {
TapeSource CurrentTape(const ReaderState& state) {
  return {state.listing, state.document_starts,
          heading_for(state.model, state.type_index, state.first_number, state.last_number)};
}
}  // namespace

void TForm53::PdfButtonClick() { SaveListingPdf(this, CurrentTape(state_)); }

void TForm53::PrintButtonClick() { PrintListing(this, CurrentTape(state_)); }

void TForm53::closeEvent(QCloseEvent* event) {
  // Only hidden: everything it holds stays for the next visit.
  event->accept();
  connection_->show();
}

// ReaderUi

QWidget* TForm53::DialogParent() {
  if (busy_ && busy_->isVisible()) return busy_;
  if (isVisible()) return this;
  return connection_;
}

void TForm53::inform(std::string_view text) { ShowInform(DialogParent(), ToQt(text)); }

bool TForm53::ask_retry(std::string_view caption, std::string_view text) {
  return AskRetry(DialogParent(), ToQt(caption), ToQt(text));
}

void TForm53::show_busy(std::string_view caption, std::string_view first_line) {
  if (busy_) busy_->ShowNotice(ToQt(caption), ToQt(first_line));
}

void TForm53::hide_busy() {
  if (busy_) busy_->hide();
}

void TForm53::raise_busy() {
  if (busy_) {
    busy_->raise();
    busy_->activateWindow();
  }
}

void TForm53::show_query() {
  RefreshLists();
  show();
}

void TForm53::hide_query() { hide(); }


}  // namespace tallyglass
