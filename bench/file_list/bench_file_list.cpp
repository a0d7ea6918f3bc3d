// Times sorting and the action proposal on a large file list and measures its memory per node.
// Prints one figure a line with its target; exits with 1 when a target is missed.

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sync/file_list.h"
#include "sync/file_node.h"
#include "sync/proposal.h"
#include "util/date_time.h"

namespace quillmar {
namespace {

constexpr int kNodeCount = 100'000;
constexpr int kDirectoryCount = 1'000;
constexpr int kRepetitions = 5;

std::vector<std::string> MakeDirectories(std::mt19937& random) {
  static const char* const kParts[] = {"images", "gallery",   "thumbs", "css",      "js",
                                       "docs",   "archiv",    "news",   "Berichte", "download",
                                       "fotos",  "Übersicht", "intern", "print",    "media"};
  std::vector<std::string> dirs = {"", "site/"};
  std::uniform_int_distribution<std::size_t> part(0, std::size(kParts) - 1);
  std::uniform_int_distribution<int> year(2003, 2024);
  while (static_cast<int>(dirs.size()) < kDirectoryCount) {
    // A parent of depth 0..5 and one more component, sometimes with a year or a number.
    const std::string& parent =
        dirs[std::uniform_int_distribution<std::size_t>(1, dirs.size() - 1)(random)];
    if (std::count(parent.begin(), parent.end(), '/') >= 6)
      continue;
    std::string dir = parent + kParts[part(random)];
    switch (random() % 3) {
      case 0:
        dir += std::to_string(year(random));
        break;
      case 1:
        dir += "_" + std::to_string(random() % 100);
        break;
      default:
        break;
    }
    dirs.push_back(dir + "/");
  }
  return dirs;
}

std::string MakeName(std::mt19937& random) {
  static const char* const kPrefixes[] = {"IMG_",     "DSC",        "index", "seite_",
                                          "bericht-", "Übersicht_", "p"};
  static const char* const kExtensions[] = {".jpg", ".JPG", ".html", ".png", ".css", ".js", ".pdf"};
  char number[8];
  std::snprintf(number, sizeof number, "%05u", static_cast<unsigned>(random() % 100000));
  return std::string(kPrefixes[random() % std::size(kPrefixes)]) + number +
         kExtensions[random() % std::size(kExtensions)];
}

void Fill(TFileList& list, std::mt19937& random) {
  const std::vector<std::string> dirs = MakeDirectories(random);
  const TDateTime base = EncodeDate(2024, 3, 1);
  std::uniform_int_distribution<std::size_t> dir(0, dirs.size() - 1);
  std::uniform_real_distribution<double> age(0.0, 2000.0);
  std::lognormal_distribution<double> size(10.0, 2.0);
  for (int i = 0; i < kNodeCount; ++i) {
    auto node = std::make_unique<TFileNode>();
    node->RelDir = dirs[dir(random)];
    node->Name = MakeName(random);
    const auto bytes = static_cast<std::int64_t>(size(random));
    const TDateTime when = base - age(random);
    const unsigned sides = random() % 10;  // 0: local only, 1: remote only, else both
    if (sides != 1) {
      node->LocalSize = bytes;
      node->LocalDate = when;
    }
    if (sides != 0) {
      node->RemoteName = node->Name;
      node->HasTime = random() % 8 != 0;
      const unsigned drift = random() % 4;  // same, a little older, newer, changed size
      node->RemoteSize = drift == 3 ? bytes + 17 : bytes;
      node->RemoteDate = when + (drift == 1 ? -0.01 : drift == 2 ? 0.5 : 0.0) + 20 * kOneSecond;
    }
    list.Append(std::move(node));
  }
}

void Shuffle(TFileList& list, std::mt19937& random) {
  std::vector<std::unique_ptr<TFileNode>> nodes;
  nodes.reserve(list.Count);
  while (!list.IsEmpty())
    nodes.push_back(list.Unlink(list.FirstNode()));
  std::shuffle(nodes.begin(), nodes.end(), random);
  for (auto& node : nodes)
    list.Append(std::move(node));
}

std::size_t HeapOfString(const std::string& s) {
  // Short strings live inside the object; longer ones own capacity + 1 bytes on the heap.
  constexpr std::size_t kInlineCapacity = std::string().capacity();
  return s.capacity() > kInlineCapacity ? s.capacity() + 1 : 0;
}

std::size_t HeapInUse() {
  return mallinfo2().uordblks;
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

template <typename F>
double Milliseconds(F&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

bool g_missed = false;

void Report(const char* what, double value, const char* unit, double target) {
  const bool ok = value < target;
  g_missed = g_missed || !ok;
  std::printf("%-34s %10.1f %-6s (target < %g %s) %s\n", what, value, unit, target, unit,
              ok ? "ok" : "MISSED");
}

double TimeSort(TFileList& list, TFileSortKey key, std::mt19937& random) {
  double best = 1e300;
  for (int i = 0; i < kRepetitions; ++i) {
    Shuffle(list, random);
    list.SortKey = key;
    best = std::min(best, Milliseconds([&] { list.Sort(); }));
  }
  return best;
}

int Run() {
  std::mt19937 random(20240301);
  auto list = std::make_unique<TFileList>();

  const std::size_t heap_before = HeapInUse();
  const long rss_before = ResidentBytes();
  Fill(*list, random);
  const std::size_t heap_after = HeapInUse();
  const long rss_after = ResidentBytes();

  std::size_t string_heap = 0;
  for (TFileNode* node : list->FileNodes()) {
    string_heap += HeapOfString(node->Name) + HeapOfString(node->RemoteName) +
                   HeapOfString(node->RelDir) + HeapOfString(node->ResultText);
  }
  const double per_node = static_cast<double>(heap_after - heap_before - string_heap) / list->Count;

  std::printf("nodes                              %10d\n", list->Count);
  std::printf("sizeof(TFileNode)                  %10zu bytes\n", sizeof(TFileNode));
  std::printf("string heap                        %10.1f MB\n", string_heap / 1e6);
  Report("heap per node beyond the strings", per_node, "bytes", 250);
  std::printf("RSS delta while building           %10.1f MB (%.0f bytes per node)\n",
              (rss_after - rss_before) / 1e6,
              static_cast<double>(rss_after - rss_before) / list->Count);

  Report("Sort by skPath, shuffled", TimeSort(*list, skPath, random), "ms", 150);

  double propose = 1e300;
  for (int i = 0; i < kRepetitions; ++i) {
    propose = std::min(propose, Milliseconds([&] { ProposeActions(*list, false); }));
  }
  Report("ProposeActions", propose, "ms", 20);

  Report("Sort by skAction, shuffled", TimeSort(*list, skAction, random), "ms", 150);
  list->SortDescending = true;
  Report("Sort by skAction descending", TimeSort(*list, skAction, random), "ms", 150);

  int counts[kActionCount] = {};
  for (TFileNode* node : list->FileNodes())
    ++counts[node->Action];
  std::printf("proposed: %d none, %d pump, %d suck\n", counts[faNoAction], counts[faPump],
              counts[faSuck]);
  return g_missed ? 1 : 0;
}

}  // namespace
}  // namespace quillmar

int main() {
  return quillmar::Run();
}
