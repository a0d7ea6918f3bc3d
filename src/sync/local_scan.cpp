#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "settings/home_profile.h"
#include "sync/engine.h"
#include "util/file_date.h"

namespace quillmar {

// One walk of the local tree.
struct TSyncEngine::TLocalScan {
  std::string Root;
  // Every directory read so far, by device and inode, so that no link leads into a loop and
  // no directory is read twice.
  std::set<std::pair<dev_t, ino_t>> Visited;
};

namespace {

struct TDirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

std::string DirErrorText(int error) {
  switch (error) {
    case ENOENT:
      return "Das Verzeichnis existiert nicht";
    case ENOTDIR:
      return "Der Pfad ist kein Verzeichnis";
    case EACCES:
    case EPERM:
      return "Zugriff verweigert";
    default:
      return std::strerror(error);
  }
}

bool IsDotOrDotDot(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

void TSyncEngine::ScanLocalDir(const std::string& root, const std::string& rel_dir) {
  local_root_error_.clear();
  TLocalScan scan{root, {}};
  ScanLocalTree(scan, rel_dir);
}

void TSyncEngine::ScanLocalTree(TLocalScan& scan, const std::string& rel_dir) {
  if (profile_ && profile_->IgnoreDirs.IndexOf("/" + rel_dir) >= 0)
    return;
  if (LogLocalDirs)
    Log(llInfo, "Lese /" + rel_dir);

  const std::string path = scan.Root + rel_dir;
  TDirHandle dir(opendir(path.c_str()));
  struct stat dir_stat {};
  if (!dir || fstat(dirfd(dir.get()), &dir_stat) != 0) {
    const std::string reason = DirErrorText(errno);
    if (rel_dir.empty()) {
      local_root_error_ = reason;
    } else {
      // Its files would count as missing locally: downloads, or with "DeleteRemote" deletions
      // on the server. The comparison proposes nothing for them instead.
      unread_dirs_.push_back(rel_dir);
      Log(llError, "Lokales Verzeichnis \u201E" + path + "\u201C kann nicht gelesen werden: " +
                       reason + ". F\u00FCr seine Dateien wird keine Aktion vorgeschlagen.");
    }
    return;
  }
  if (!scan.Visited.insert({dir_stat.st_dev, dir_stat.st_ino}).second)
    return;

  const int fd = dirfd(dir.get());
  while (const dirent* entry = readdir(dir.get())) {
    const char* name = entry->d_name;
    if (IsDotOrDotDot(name))
      continue;
    // Follows links: a link to a file is read as that file, one to a directory as that
    // directory. A broken link is nothing.
    struct stat st {};
    if (fstatat(fd, name, &st, 0) != 0)
      continue;
    if (S_ISDIR(st.st_mode)) {
      if (profile_ && profile_->IsSkippedDirName(name))
        continue;
      if (scan.Visited.count({st.st_dev, st.st_ino}) != 0)
        continue;
      ScanLocalTree(scan, rel_dir + name + "/");
      continue;
    }
    // Sockets, pipes and devices are no files to synchronise.
    if (!S_ISREG(st.st_mode))
      continue;
    if (profile_ && profile_->IsIgnoredExtension(name))
      continue;
    auto node = std::make_unique<TFileNode>();
    node->Name = name;
    node->RelDir = rel_dir;
    node->LocalSize = static_cast<std::int64_t>(st.st_size);
    node->LocalDate = FileTimeToDateTime(static_cast<std::int64_t>(st.st_mtime));
    FileList.Append(std::move(node));
  }
}

}  // namespace quillmar
