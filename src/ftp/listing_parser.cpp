#include "ftp/listing_parser.h"

#include <memory>
#include <string>

#include "ftp/ftp_file.h"

namespace quillmar {
namespace {

bool IsBlankOrControl(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimLine(std::string_view line) {
  while (!line.empty() && IsBlankOrControl(line.front()))
    line.remove_prefix(1);
  while (!line.empty() && IsBlankOrControl(line.back()))
    line.remove_suffix(1);
  return line;
}

// "./img//sub:" -> "img/sub". One left-to-right pass, so "///" becomes "//".
std::string SectionHeader(std::string_view line) {
  std::string header;
  header.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    header += line[i];
    if (line[i] == '/' && i + 1 < line.size() && line[i + 1] == '/')
      ++i;
  }
  if (header.starts_with("./"))
    header.erase(0, 2);
  if (header.ends_with(':'))
    header.pop_back();
  return header;
}

}  // namespace

void ParseListingText(std::string_view text, TLinkList& list, TDateTime now) {
  list.Clear();
  std::string header;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view line = TrimLine(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size())
      pos += text.compare(pos, 2, "\r\n") == 0 ? 2 : 1;

    if (line.empty())
      continue;
    if (line.front() == '-' || line.front() == 'd') {
      auto entry = std::make_unique<TFtpFile>(line, header, now);
      if (!entry->Name.empty())
        list.Append(std::move(entry));
    } else if (line.find('/') != std::string_view::npos) {
      header = SectionHeader(line);
    }
  }
}

}  // namespace quillmar
