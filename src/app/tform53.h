#pragma once
// The query window: the request fields, the rendered listing and saving it.
// Everything it keeps lives in the reader's state; the window shows the state
// and hands the reader the window operations it needs.
#include <QWidget>
#include <memory>
#include <string>

#include "print/text_export.h"
#include "export/exact_journal.h"
#include "reader/reader_state.h"
#include "reader/reader_ui.h"
#include "reader/request_control.h"

class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace tallyglass {

class DesktopArchive;
class ListingModel;
class ListingTools;
class TForm3;
class TForm4;

class TForm53 : public QWidget, public ReaderUi {
  Q_OBJECT

 public:
  TForm53(TForm3* connection, QWidget* parent = nullptr);
  ~TForm53() override;
  void SetBusyNotice(TForm4* busy) { busy_ = busy; }

  // Shown from the connection window's journal menu; it blocks the other windows.
  void ShowModally();

  ReaderState& State() { return state_; }
  // The running request's stop flag, progress line and network number.
  RequestControl& Control() { return control_; }
  // Writes the listing to the file chosen in the save dialog; a failure is
  // shown in the error box and the listing stays as it is.
  void SaveListingTo(const QString& path, TextEncoding encoding = TextEncoding::cp1251);
  // After the listing or the raw list changed outside the window's handlers.
  void RefreshLists();
  // Find bar, export and reconciliation of the listing's documents.
  ListingTools* Tools() const { return tools_; }
  // The fetched text (the raw list) read exactly for export, kept like the model.
  void AbsorbRawList();

  // ReaderUi
  void inform(std::string_view text) override;
  bool ask_retry(std::string_view caption, std::string_view text) override;
  void show_busy(std::string_view caption, std::string_view first_line) override;
  void hide_busy() override;
  void raise_busy() override;
  void show_query() override;
  void hide_query() override;

  QListView* ListBox2;
  QListView* ListBox1;
  QGroupBox* GroupBox1;
  QLabel* Label1;
  QComboBox* ComboBox1;
  QLabel* Label4;
  QLineEdit* Edit3;
  QLabel* Label2;
  QLineEdit* Edit1;
  QLabel* Label3;
  QLineEdit* Edit2;
  QPushButton* Button1;
  QPushButton* Button6;
  QGroupBox* GroupBox2;
  QPushButton* Button4;
  QPushButton* Button5;
  QLabel* Label5;
  QLineEdit* Edit4;
  QLabel* Label6;
  QLineEdit* Edit5;
  QLabel* Label7;
  QLineEdit* Edit6;
  QLineEdit* Edit7;
  QPushButton* Button3;
  QPushButton* Button2;
  QFileDialog* SaveDialog1;
  // The listing on paper, in a row of its own below the designed controls.
  QPushButton* PdfButton;
  QPushButton* PrintButton;

 public slots:
  void ComboBox1Change();
  void Button1Click();
  void Button4Click();
  void Button5Click();
  void Button3Click();
  void Button2Click();
  void PdfButtonClick();
  void PrintButtonClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void PullFields();  // control texts into the state
  void PushFields();  // state into the controls
  void RunRequest(int mode);
  // The window a message box belongs to: the busy notice while a request
  // runs, else this window, else the connection window.
  QWidget* DialogParent();

  TForm3* connection_;
  TForm4* busy_ = nullptr;
  ReaderState state_;
  RequestControl control_;
  // The request's own progress line, under the archive's counts.
  std::function<void(std::string_view)> progress_;
  std::unique_ptr<DesktopArchive> archive_;
  ListingModel* listing_model_;
  ListingModel* raw_model_;
  ListingTools* tools_;
  ExactJournal exact_;
  std::string exact_failure_;
};

}  // namespace tallyglass
