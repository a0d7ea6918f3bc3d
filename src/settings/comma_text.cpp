#include "settings/comma_text.h"

namespace quillmar {

namespace {

// Blanks and control characters; a NUL byte ends the text.
bool IsSpace(char ch) {
  const auto byte = static_cast<unsigned char>(ch);
  return byte >= 1 && byte <= ' ';
}

bool NeedsQuotes(std::string_view item) {
  for (const char ch : item) {
    if (static_cast<unsigned char>(ch) <= ' ' || ch == ',' || ch == '"') {
      return true;
    }
  }
  return false;
}

std::string Quoted(std::string_view item) {
  std::string text = "\"";
  for (const char ch : item) {
    text += ch;
    if (ch == '"') {
      text += '"';
    }
  }
  text += '"';
  return text;
}

}  // namespace

std::string EncodeCommaText(const TStringList& list) {
  if (list.Count() == 1 && list[0].empty()) {
    return "\"\"";
  }
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) {
      text += ',';
    }
    text += NeedsQuotes(list[i]) ? Quoted(list[i]) : list[i];
  }
  return text;
}

void DecodeCommaText(std::string_view text, TStringList& list) {
  list.Clear();
  text = text.substr(0, text.find('\0'));
  std::size_t pos = 0;
  const auto skip_spaces = [&] {
    while (pos < text.size() && IsSpace(text[pos])) {
      ++pos;
    }
  };
  skip_spaces();
  while (pos < text.size()) {
    std::string item;
    if (text[pos] == '"') {
      // Up to the closing quote, a doubled quote standing for one; an unclosed quote runs to
      // the end.
      ++pos;
      while (pos < text.size()) {
        if (text[pos] == '"') {
          if (pos + 1 < text.size() && text[pos + 1] == '"') {
            item += '"';
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        item += text[pos++];
      }
    } else {
      const std::size_t start = pos;
      while (pos < text.size() && !IsSpace(text[pos]) && text[pos] != ',') {
        ++pos;
      }
      item.assign(text.substr(start, pos - start));
    }
    list.Add(std::move(item));
    skip_spaces();
    if (pos < text.size() && text[pos] == ',') {
      if (pos + 1 == text.size()) {
        list.Add("");
      }
      ++pos;
      skip_spaces();
    }
  }
}

}  // namespace quillmar
