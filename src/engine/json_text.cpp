#include "engine/json_text.h"

#include "evidence/json_writer.h"

namespace marlin {

std::string jsonString(const std::string& text) { return evidence::jsonQuoted(text); }

}  // namespace marlin
