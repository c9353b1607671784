#include "reader/reader_state.h"

#include "link/link.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tallyglass {

ReaderLink::ReaderLink()
    : request_f(link::RequestF),
      request_b(link::RequestB),
      reply_text([] { return std::string(link::ReplyText()); }) {}

const std::string& type_choice_text(int index) {
  static const std::string kTexts[] = {Utf8ToCp1251("Z-отчет"), Utf8ToCp1251("Чек"),
                                       Utf8ToCp1251("Чек+Z-отчет"), Utf8ToCp1251("Внес./Изъят.")};
  static const std::string kNone;
  if (index < 0 || index > 3) return kNone;
  return kTexts[index];
}

ReaderState::ReaderState()
    : type_text(type_choice_text(kChoiceCheckZ)),
      wait_ms(link::Wait) {}

std::string ReaderState::work_path(std::string_view name) const { return JoinPath(work_dir, name); }

}  // namespace tallyglass
