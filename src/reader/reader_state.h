#pragma once
// What the query window owns for the whole run: the model, the loader state,
// the fetch-state tables, the number range, the raw list, the listing and the
// texts of its fields. Nothing here is cleared between requests, so a document
// fetched once is neither fetched nor loaded again.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "journal/loader.h"
#include "journal/model.h"
#include "journal/sootv.h"
#include "render/listing.h"
#include "render/render_listing.h"

namespace tallyglass {

// The two exchanges the reader runs and the reply they leave. By default the
// link's own; tests may put a scripted register in their place.
struct ReaderLink {
  // (network number, request text, mode, convert) -> link result code
  std::function<int(int, std::string_view, int, bool)> request_f;
  std::function<int(int, std::string_view, int, bool)> request_b;
  std::function<std::string(void)> reply_text;

  ReaderLink();  // bound to link::RequestF, link::RequestB, link::ReplyText
};

// The text of a document-type entry (Windows-1251): index 0 "Z-отчет",
// 1 "Чек", 2 "Чек+Z-отчет", 3 "Внес./Изъят."; "" for any other index.
const std::string& type_choice_text(int index);

struct ReaderState {
  ReaderState();

  rq model;
  control loader;
  sootv check_state;     // receipt number -> 1 fetched with data, 2 nothing came back
  sootv zvit_state;      // the same for Z-reports (type choice "Z-отчет")
  sootv di_by_position;  // the renderer's ordering table
  std::int32_t first_number = 0;
  std::int32_t last_number = 0;
  std::vector<std::string> raw_list;  // the collected text of the last fetch
  Listing listing;                    // the rendered lines
  std::vector<std::size_t> document_starts;  // where each rendered document begins in the listing

  // Field texts, Windows-1251, as the user typed them.
  std::string Edit1 = "1";       // first number
  std::string Edit2 = "1";       // last number
  std::string Edit3 = "583016";  // password (never sent)
  std::string Edit4;             // start date dd.mm.yy
  std::string Edit5;             // end date dd.mm.yy
  std::string Edit6 = "00:00";   // start time hh:mm
  std::string Edit7 = "  :  ";   // end time hh:mm
  // The type choice: the selected entry (kChoiceZ ... kChoiceService), or
  // kChoiceNone when text was typed into the box; type_text is its text.
  int type_index = kChoiceCheckZ;
  std::string type_text;

  // Seams of the run's surroundings.
  std::string work_dir;                // where "temp.xml" and "error.log" go; "" = current directory
  std::function<void(int)> wait_ms;    // pauses between failed exchanges; link::Wait by default
  ReaderLink link;

  // work_dir joined with a work file's name.
  std::string work_path(std::string_view name) const;
};

}  // namespace tallyglass
