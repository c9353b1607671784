#pragma once
// The request driver's parse-and-load step.
#include <string>
#include <string_view>

#include "journal/model.h"

namespace tallyglass {

struct control;  // the loader state (journal/loader.h)

// Up to two attempts, each parsing the joined journal text (Windows-1251 bytes)
// and loading it into the model; a loader failure counts as a failed attempt,
// so the same text may be loaded twice. True when an attempt succeeded; when
// both failed, *failure (if given) gets the last failure's message.
bool parse_and_load(std::string_view text, rq& model, control& loader,
                    std::string* failure = nullptr);

}  // namespace tallyglass
