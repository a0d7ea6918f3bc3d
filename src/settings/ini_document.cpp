#include "settings/ini_document.h"

#include <unordered_set>
#include <utility>

#include "util/collation.h"

namespace quillmar {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = s.find_last_not_of(kBlanks);
  return s.substr(first, last - first + 1);
}

}  // namespace

TIniDocument::TIniDocument(std::string content) : content_(std::move(content)) {
  Parse();
}

void TIniDocument::Parse() {
  lines_.clear();
  const std::string_view all = content_;
  // A byte-order mark written by some editors belongs to no line, so it survives every edit.
  std::size_t pos = all.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
  while (pos < all.size()) {
    TLine line;
    line.Begin = pos;
    const auto newline = all.find('\n', pos);
    line.HasNewline = newline != std::string_view::npos;
    line.End = line.HasNewline ? newline + 1 : all.size();
    line.ContentEnd = line.HasNewline ? newline : all.size();
    if (line.ContentEnd > line.Begin && all[line.ContentEnd - 1] == '\r') {
      --line.ContentEnd;
    }
    pos = line.End;

    const std::string_view text = all.substr(line.Begin, line.ContentEnd - line.Begin);
    const auto start = text.find_first_not_of(kBlanks);
    if (start == std::string_view::npos || text[start] == ';') {
      lines_.push_back(line);
      continue;
    }
    if (text[start] == '[') {
      const auto close = text.find(']', start + 1);
      if (close != std::string_view::npos) {
        const auto name = TrimBlanks(text.substr(start + 1, close - start - 1));
        line.Kind = TLineKind::kSection;
        line.NameBegin = name.empty() ? line.Begin : name.data() - all.data();
        line.NameLength = name.size();
      }
      lines_.push_back(line);
      continue;
    }
    const auto equals = text.find('=', start);
    if (equals != std::string_view::npos) {
      const auto name = TrimBlanks(text.substr(0, equals));
      if (!name.empty()) {
        const auto value = TrimBlanks(text.substr(equals + 1));
        line.Kind = TLineKind::kKey;
        line.NameBegin = name.data() - all.data();
        line.NameLength = name.size();
        line.ValueBegin = value.empty() ? line.ContentEnd : value.data() - all.data();
        line.ValueLength = value.size();
      }
    }
    lines_.push_back(line);
  }
}

std::string_view TIniDocument::Name(const TLine& line) const {
  return std::string_view(content_).substr(line.NameBegin, line.NameLength);
}

std::string_view TIniDocument::RawValue(const TLine& line) const {
  return std::string_view(content_).substr(line.ValueBegin, line.ValueLength);
}

int TIniDocument::FindSection(std::string_view section) const {
  section = TrimBlanks(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].Kind == TLineKind::kSection && SameText(Name(lines_[i]), section)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int TIniDocument::SectionEnd(int header) const {
  int i = header + 1;
  while (i < static_cast<int>(lines_.size()) && lines_[i].Kind != TLineKind::kSection) {
    ++i;
  }
  return i;
}

int TIniDocument::FindKey(int header, std::string_view key) const {
  key = TrimBlanks(key);
  const int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i) {
    if (lines_[i].Kind == TLineKind::kKey && SameText(Name(lines_[i]), key)) {
      return i;
    }
  }
  return -1;
}

std::optional<std::string_view> TIniDocument::Value(std::string_view section,
                                                    std::string_view key) const {
  const int header = FindSection(section);
  if (header < 0) {
    return std::nullopt;
  }
  const int line = FindKey(header, key);
  if (line < 0) {
    return std::nullopt;
  }
  return RawValue(lines_[line]);
}

bool TIniDocument::HasSection(std::string_view section) const {
  return FindSection(section) >= 0;
}

std::vector<std::string> TIniDocument::SectionNames() const {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const auto& line : lines_) {
    if (line.Kind == TLineKind::kSection && seen.insert(FoldKey(Name(line))).second) {
      names.emplace_back(Name(line));
    }
  }
  return names;
}

std::string TIniDocument::LineEnding() const {
  for (const auto& line : lines_) {
    if (line.HasNewline) {
      return line.ContentEnd + 2 == line.End ? "\r\n" : "\n";
    }
  }
  return "\n";
}

void TIniDocument::Replace(std::size_t begin, std::size_t end, std::string_view text) {
  content_.replace(begin, end - begin, text);
  Parse();
}

bool TIniDocument::SetValue(std::string_view section, std::string_view key,
                            std::string_view value) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  const std::string eol = LineEnding();
  const int header = FindSection(section);
  if (header < 0) {
    std::string text;
    if (!content_.empty()) {
      if (content_.back() != '\n') {
        text += eol;
      }
      const auto& last = lines_.empty() ? TLine{} : lines_.back();
      const auto last_text =
          std::string_view(content_).substr(last.Begin, last.ContentEnd - last.Begin);
      if (!TrimBlanks(last_text).empty()) {
        text += eol;  // a blank line between sections
      }
    }
    text.append("[").append(section).append("]").append(eol);
    text.append(key).append("=").append(value).append(eol);
    Replace(content_.size(), content_.size(), text);
    return true;
  }

  const int index = FindKey(header, key);
  if (index >= 0) {
    const TLine line = lines_[index];
    if (RawValue(line) == value) {
      return false;
    }
    std::string text(Name(line));
    text.append("=").append(value);
    Replace(line.Begin, line.ContentEnd, text);
    return true;
  }

  // A new key goes behind the section's last key, before blank lines and comments that lead
  // over to the next section.
  int after = header;
  const int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i) {
    if (lines_[i].Kind == TLineKind::kKey) {
      after = i;
    }
  }
  const TLine& anchor = lines_[after];
  std::string text = anchor.HasNewline ? "" : eol;
  text.append(key).append("=").append(value).append(eol);
  Replace(anchor.End, anchor.End, text);
  return true;
}

bool TIniDocument::DeleteKey(std::string_view section, std::string_view key) {
  const int header = FindSection(section);
  if (header < 0) {
    return false;
  }
  const int index = FindKey(header, key);
  if (index < 0) {
    return false;
  }
  Replace(lines_[index].Begin, lines_[index].End, {});
  return true;
}

bool TIniDocument::EraseSection(std::string_view section) {
  const int header = FindSection(section);
  if (header < 0) {
    return false;
  }
  const int end = SectionEnd(header);
  const std::size_t stop =
      end < static_cast<int>(lines_.size()) ? lines_[end].Begin : content_.size();
  Replace(lines_[header].Begin, stop, {});
  return true;
}

}  // namespace quillmar
