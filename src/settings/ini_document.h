#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmar {

// The bytes of one INI file with an index of its lines. Edits splice the bytes, so every line
// the edit does not touch stays exactly as it was (comments, stray bytes, odd line ends).
// Names are matched with SameText; of duplicate sections or keys only the first counts.
class TIniDocument {
 public:
  TIniDocument() = default;
  explicit TIniDocument(std::string content);

  const std::string& Content() const { return content_; }

  // The trimmed value of the key, or nothing when the section or key is missing.
  std::optional<std::string_view> Value(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // The section names in file order, each name once (its first spelling).
  std::vector<std::string> SectionNames() const;

  // Each returns whether the content changed.
  bool SetValue(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool EraseSection(std::string_view section);

 private:
  enum class TLineKind { kOther, kSection, kKey };
  struct TLine {
    std::size_t Begin = 0;       // first byte
    std::size_t ContentEnd = 0;  // before the line end (LF, CR LF)
    std::size_t End = 0;         // behind the terminating LF (or the end of the content)
    bool HasNewline = false;     // ends in LF
    TLineKind Kind = TLineKind::kOther;
    std::size_t NameBegin = 0;  // section or key name, trimmed
    std::size_t NameLength = 0;
    std::size_t ValueBegin = 0;  // key value, trimmed
    std::size_t ValueLength = 0;
  };

  void Parse();
  std::string_view Name(const TLine& line) const;
  std::string_view RawValue(const TLine& line) const;
  // Index of the first section header with that name, or -1.
  int FindSection(std::string_view section) const;
  // One past the last line of the section that starts at `header`.
  int SectionEnd(int header) const;
  int FindKey(int header, std::string_view key) const;
  std::string LineEnding() const;
  void Replace(std::size_t begin, std::size_t end, std::string_view text);

  std::string content_;
  std::vector<TLine> lines_;
};

}  // namespace quillmar
