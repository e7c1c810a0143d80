// The program file reader on any text: a file is refused with a message or becomes the page's
// data array, and no file content can end the script or run as script.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

#include "program/program_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto result = program::DataArrayLiteral(text);
  if (auto* literal = std::get_if<std::string>(&result)) {
    const std::string head = "P=new Array(";
    if (literal->compare(0, head.size(), head) != 0 || literal->back() != ')') std::abort();
    for (unsigned char c : *literal) {
      // Plain ASCII, without "<" (so never "</script") and without line breaks.
      if (c >= 0x80 || c == '<' || c == '\n' || c == '\r' || c == 0) std::abort();
    }
    const std::string page = program::FillTemplate("<script>P=new Array(0)</script>", *literal);
    if (page != "<script>" + *literal + "</script>") std::abort();
  }
  // Every single field alone, as the literal's items are made.
  const std::string literal = program::ScriptLiteral(text);
  for (unsigned char c : literal) {
    if (c >= 0x80 || c == '<' || c == '\n' || c == '\r' || c == 0) std::abort();
  }
  return 0;
}
