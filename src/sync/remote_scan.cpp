#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "ftp/ftp_file.h"
#include "ftp/ftp_socket.h"
#include "log/file_logger.h"
#include "settings/home_profile.h"
#include "settings/profile_store.h"
#include "sync/engine.h"

namespace quillmar {

namespace {

// A name the server gives must stay one name inside its directory locally: no separator, no
// NUL, not "." or "..", not empty.
bool IsSafeName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// A relative directory ("a/b/" or "") made of safe names only.
bool IsSafeRelDir(std::string_view dir) {
  if (dir.empty())
    return true;
  if (dir.back() != '/')
    return false;
  dir.remove_suffix(1);
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = dir.find('/', start);
    if (!IsSafeName(dir.substr(start, slash == std::string_view::npos ? slash : slash - start)))
      return false;
    if (slash == std::string_view::npos)
      return true;
    start = slash + 1;
  }
}

// The relative directory of an entry under the section header `dir`: RelDir without a header,
// else the header with the root prefix cut off.
std::string EntryRelDir(const TFtpFile& entry, const std::string& rel_dir,
                        const std::string& prefix) {
  if (entry.Dir.empty())
    return rel_dir;
  std::string dir = entry.Dir;
  if (dir.back() != '/')
    dir += '/';
  if (!prefix.empty() && dir.starts_with(prefix))
    dir.erase(0, prefix.size());
  return dir;
}

}  // namespace

void TSyncEngine::ScanRemoteDir(const std::string& root, const std::string& rel_dir,
                                TDateTime offset) {
  if (AbortRequested || !ftp_connection_ || !profile_)
    return;
  if (profile_->IsIgnoredDir(rel_dir))
    return;
  const TListTypeInfo& list_type = ListTypeInfo(profile_->ListType);
  Log(llInfo, std::string("Listung: ") + list_type.Name);
  host_.ShowCurrentFile(root + rel_dir);

  TLinkList entries;
  try {
    ftp_connection_->List(root + rel_dir, list_type.ListArgument);
  } catch (const std::exception&) {
    // Without the root's listing nothing of the server is known, and every local file would
    // look new: that ends the comparison.
    if (rel_dir.empty())
      throw;
    // Its local files would look new and overwrite what the server holds; they get no
    // proposal.
    unread_dirs_.push_back(rel_dir);
    Log(llError, "Verzeichnis \u201E" + root + rel_dir +
                     "\u201C kann nicht gelistet werden. F\u00FCr seine Dateien wird keine "
                     "Aktion vorgeschlagen.");
    return;
  }
  if (file_logger_) {
    file_logger_->Log(llReceived, "Inhaltsverzeichnis von " + root + rel_dir + ":\r\n" +
                                      ftp_connection_->ListingText);
  }
  ftp_connection_->ReadListing(entries);
  MergeListing(entries, root, rel_dir, offset);
}

void TSyncEngine::MergeListing(TLinkList& entries, const std::string& root,
                               const std::string& rel_dir, TDateTime offset) {
  std::string prefix = profile_->RemoteRoot;
  if (!prefix.empty() && prefix.back() != '/')
    prefix += '/';
  const bool recursive_listing = profile_->ListType == kListTypeFast;
  // The hostile section header logged last, so that one section gives one line.
  std::string rejected_dir;

  for (const TFtpFile* entry : entries.Nodes<TFtpFile>()) {
    if (entry->IsDir) {
      if (entry->Name != "." && entry->Name != ".." && !recursive_listing) {
        if (!IsSafeName(entry->Name)) {
          Log(llError, "Unzul\u00E4ssiger Verzeichnisname in der Listung \u00FCbergangen: \u201E" +
                           entry->Name + "\u201C");
        } else if (!profile_->IsSkippedDirName(entry->Name)) {
          ScanRemoteDir(root, rel_dir + entry->Name + "/", offset);
        }
      }
    } else if (!profile_->IsIgnoredExtension(entry->Name)) {
      const std::string dir = EntryRelDir(*entry, rel_dir, prefix);
      if (!IsSafeRelDir(dir)) {
        if (dir != rejected_dir) {
          rejected_dir = dir;
          Log(llError, "Unzul\u00E4ssiger Abschnitt in der Listung \u00FCbergangen: \u201E" +
                           entry->Dir + "\u201C");
        }
      } else if (!IsSafeName(entry->Name)) {
        Log(llError, "Unzul\u00E4ssiger Dateiname in der Listung \u00FCbergangen: \u201E" +
                         entry->Name + "\u201C");
      } else {
        // Entries below an ignored directory are passed over without a pause.
        if (profile_->IsIgnoredDir(dir) || profile_->HasSkippedDir(dir))
          continue;
        TFileNode* node = TakeNode(dir, entry->Name);
        node->RemoteSize = entry->Size;
        node->RemoteDate = entry->DateTime;
        node->HasTime = entry->HasTime;
        // A date without a time of day stays as listed.
        if (entry->HasTime)
          node->RemoteDate += offset;
        node->RemoteName = entry->Name;
      }
    }
    host_.ProcessMessages();
    if (AbortRequested)
      break;
  }
}

TFileNode* TSyncEngine::TakeNode(const std::string& rel_dir, const std::string& name) {
  if (unmatched_index_) {
    if (TFileNode* found = unmatched_index_->Find(rel_dir, name)) {
      unmatched_index_->Remove(found);
      return FileList.Append(unmatched_->Unlink(found));
    }
  }
  auto node = std::make_unique<TFileNode>();
  node->RelDir = rel_dir;
  node->Name = name;
  return FileList.Append(std::move(node));
}

}  // namespace quillmar
