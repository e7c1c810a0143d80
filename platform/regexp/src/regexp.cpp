#include "regexp/regexp.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace regexp {

struct RegExp::Compiled {
  pcre2_code* code = nullptr;
  pcre2_match_data* data = nullptr;
  Compiled() = default;
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  ~Compiled() {
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
};

namespace {

// Script-engine reading of a pattern: "$" only at the very end unless multi-line, \u and \x
// as in ECMAScript, "[]" and "[^]" allowed, a back reference to an unset group matches empty.
// \w and \d stay ASCII (no PCRE2_UCP), as in the script engines.
uint32_t CompileOptions(bool ignore_case, bool multiline) {
  uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX |
                     PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF;
  if (ignore_case) options |= PCRE2_CASELESS;
  options |= multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;
  return options;
}

std::size_t NextCharacter(std::string_view text, std::size_t at) {
  ++at;
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  return at;
}

}  // namespace

RegExp::RegExp() = default;
RegExp::~RegExp() = default;
RegExp::RegExp(RegExp&&) noexcept = default;
RegExp& RegExp::operator=(RegExp&&) noexcept = default;

void RegExp::SetPattern(std::string pattern) {
  pattern_ = std::move(pattern);
  compiled_.reset();
}

void RegExp::SetIgnoreCase(bool on) {
  if (on != ignore_case_) compiled_.reset();
  ignore_case_ = on;
}

void RegExp::SetMultiline(bool on) {
  if (on != multiline_) compiled_.reset();
  multiline_ = on;
}

const RegExp::Compiled& RegExp::Compile() {
  if (compiled_) return *compiled_;
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  // Line terminators of the script engines: CR, LF (and CR LF as one).
  pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
  int error = 0;
  PCRE2_SIZE offset = 0;
  auto compiled = std::make_unique<Compiled>();
  compiled->code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern_.data()), pattern_.size(),
                    CompileOptions(ignore_case_, multiline_), &error, &offset, context);
  pcre2_compile_context_free(context);
  if (compiled->code == nullptr) {
    throw RegExpError(kSyntaxError, "Syntax error in regular expression");
  }
  compiled->data = pcre2_match_data_create_from_pattern(compiled->code, nullptr);
  if (compiled->data == nullptr) throw std::bad_alloc();
  compiled_ = std::move(compiled);
  return *compiled_;
}

namespace {

// Runs one match from `start`; false when there is none, throws on an engine failure.
bool MatchAt(const pcre2_code* code, pcre2_match_data* data, std::string_view text,
             std::size_t start) {
  const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), start, 0,
                             data, nullptr);
  if (rc >= 0) return true;
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  throw RegExpError(kOutOfStackSpace, "Out of stack space");
}

Match MakeMatch(const pcre2_code* code, pcre2_match_data* data, std::string_view text) {
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
  uint32_t groups = 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &groups);
  Match m;
  m.FirstIndex = ovector[0];
  m.Length = ovector[1] - ovector[0];
  m.Value = std::string(text.substr(ovector[0], m.Length));
  for (uint32_t g = 1; g <= groups; ++g) {
    const PCRE2_SIZE from = ovector[2 * g];
    const PCRE2_SIZE to = ovector[2 * g + 1];
    m.SubMatches.emplace_back(from == PCRE2_UNSET ? std::string_view{}
                                                  : text.substr(from, to - from));
  }
  return m;
}

}  // namespace

bool RegExp::Test(std::string_view text) {
  const Compiled& c = Compile();
  return MatchAt(c.code, c.data, text, 0);
}

std::vector<Match> RegExp::Execute(std::string_view text) {
  const Compiled& c = Compile();
  std::vector<Match> matches;
  std::size_t start = 0;
  while (start <= text.size() && MatchAt(c.code, c.data, text, start)) {
    matches.push_back(MakeMatch(c.code, c.data, text));
    if (!global_) break;
    const Match& last = matches.back();
    // An empty match moves the search on by one character, so it cannot repeat forever.
    start = last.Length == 0 ? NextCharacter(text, last.FirstIndex) : last.FirstIndex + last.Length;
  }
  return matches;
}

}  // namespace regexp
