#include "program/program_page.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "base/app_paths.h"
#include "base/text_files.h"
#include "forms/runtime_error.h"
#include "forms/text_rules.h"
#include "program/program_checks.h"
#include "program/program_file.h"
#include "program/program_form.h"

namespace program {
namespace {

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += ',';
    out += parts[i];
  }
  return out;
}

// Integers the script reads back as the same text: no leading zero (a legacy octal
// literal), no "-0", no more digits than a double holds exactly.
bool IsPlainInteger(const std::string& s) {
  std::size_t i = s.starts_with('-') ? 1 : 0;
  const std::size_t digits = s.size() - i;
  if (digits == 0 || digits > 15) return false;
  for (std::size_t j = i; j < s.size(); ++j)
    if (s[j] < '0' || s[j] > '9') return false;
  if (digits > 1 && s[i] == '0') return false;
  return !(i == 1 && s[1] == '0');
}

bool IsSafeChar(char c) {
  return c >= 0x20 && c <= 0x7E && c != '"' && c != '\\' && c != '<';
}

bool IsSimpleQuoted(const std::string& s) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return false;
  for (std::size_t i = 1; i + 1 < s.size(); ++i)
    if (!IsSafeChar(s[i])) return false;
  return true;
}

// Decodes one UTF-8 sequence at `i` (advancing it); a broken one gives U+FFFD.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0) return U'\uFFFD';
  char32_t cp = lead & (0x3F >> extra);
  for (; extra > 0; --extra) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return U'\uFFFD';
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

void AppendUnit(std::string& out, unsigned unit) {
  static const char* hex = "0123456789ABCDEF";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 0xF];
}

std::string EscapedString(const std::string& s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    if (IsSafeChar(s[i])) {
      out += s[i++];
      continue;
    }
    char32_t cp = NextCodePoint(s, i);
    if (cp == U'"' || cp == U'\\') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp > 0xFFFF) {
      cp -= 0x10000;
      AppendUnit(out, 0xD800 + static_cast<unsigned>(cp >> 10));
      AppendUnit(out, 0xDC00 + static_cast<unsigned>(cp & 0x3FF));
    } else {
      AppendUnit(out, static_cast<unsigned>(cp));
    }
  }
  return out + "\"";
}

Message ReaderError(std::string prompt) {
  return ErrorBox(std::move(prompt), kTitleProgrammer);
}

}  // namespace

std::string ScriptLiteral(const std::string& field) {
  if (IsPlainInteger(field) || IsSimpleQuoted(field)) return field;
  const bool quoted = field.size() >= 2 && field.front() == '"' && field.back() == '"';
  return EscapedString(quoted ? field.substr(1, field.size() - 2) : field);
}

std::variant<std::string, Message> DataArrayLiteral(std::string text) {
  text = forms::Trim(text);
  const std::size_t length = forms::Len(text);
  if (length < kMinFileLength || length > kMaxFileLength)
    return ReaderError("Invalid raw File size. Exiting... Length is: " + std::to_string(length));
  if (auto star = text.find('*'); star != std::string::npos) text.resize(star);
  std::vector<std::string> fields = forms::Split(text);
  if (text.find('"') == std::string::npos) {
    if (fields.size() != kFieldCount) return ReaderError("Invalid raw data. Exiting...");
    for (std::size_t i = kFieldCount - kDateItemCount; i < fields.size(); ++i)
      fields[i] = '"' + fields[i] + '"';
  }
  // The prefix of the literal holds no comma, so its parts are the fields.
  if (fields.size() != kFieldCount) return ReaderError("Raw File is corrupted. Exiting...");
  if (forms::Len(fields[5]) != 8) return ReaderError("Invalid Meter Serial number. Exiting...");
  for (auto& f : fields) f = ScriptLiteral(f);
  return "P=new Array(" + Join(fields) + ")";
}

std::string FillTemplate(const std::string& page, const std::string& literal) {
  const std::string placeholder = kArrayPlaceholder;
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = page.find(placeholder, from)) != std::string::npos;
       from = at + placeholder.size())
    out.append(page, from, at - from).append(literal);
  return out.append(page, from);
}

std::optional<Message> EnterProgramFilesDir(const std::string& raw_dir) {
  const auto reason = base::EnterProgramFiles(raw_dir);
  if (!reason) return std::nullopt;
  return ReaderError(raw_dir + "/Program_Files cannot be opened (" + *reason + "). Exiting...");
}

std::optional<std::string> BuildProgramPage(const std::string& chosen_path,
                                            const std::string& raw_dir, const std::string& app_path,
                                            const ShowMessage& show) {
  auto refuse = [&](std::string prompt) -> std::optional<std::string> {
    show(ReaderError(std::move(prompt)));
    return std::nullopt;
  };
  // Every read is capped: a file far beyond any program file is refused with the reason.
  auto read = [&](const std::string& path) -> std::optional<std::string> {
    try {
      return base::FileToString(path);
    } catch (const std::exception& e) {
      refuse(path + " could not be read (" + forms::DescriptionOf(e) + "). Exiting...");
      return std::nullopt;
    }
  };
  if (!base::FileExists(chosen_path))
    return refuse(chosen_path + " File does not exist. Exiting...");
  auto text = read(chosen_path);
  if (!text) return std::nullopt;
  auto literal = DataArrayLiteral(*text);
  if (auto* refusal = std::get_if<Message>(&literal)) {
    show(*refusal);
    return std::nullopt;
  }
  const std::string template_path = raw_dir + "/Templates/Read_Template.htm";
  if (!base::FileExists(template_path))
    return refuse("Read_Template.htm File does not exist. Exiting...");
  auto page = read(template_path);
  if (!page) return std::nullopt;
  base::WriteStringToFile(FillTemplate(*page, std::get<std::string>(literal)),
                          base::TemplatesPath(app_path, "Rx_Pgm.htm"), show);
  return raw_dir + "/Templates/Rx_Pgm.htm";
}

}  // namespace program
