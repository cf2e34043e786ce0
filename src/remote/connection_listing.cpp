// A connection's listing of its current folder, and walking folders, for
// either protocol; the rows reach the owner in batches.
#include <algorithm>
#include <ctime>

#include "remote/connection.h"

namespace hemlo::transfer {

namespace {

// Seconds since 1970 (UTC) as the list's day number in local time.
double LocalDayNumber(int64_t utc) {
  const time_t t = time_t(utc);
  tm local{};
  if (!::localtime_r(&t, &local)) return 0;
  return double(utc + local.tm_gmtoff) / 86400.0 + 25569.0;
}

RemoteListEntry EntryOfFact(const RemoteFact& f) {
  RemoteListEntry e;
  e.FileName = f.name;
  e.Size = f.size;
  if (f.modified_utc) e.ModifiedDate = LocalDayNumber(*f.modified_utc);
  e.Folder = f.kind == RemoteFact::Kind::kFolder;
  const size_t n = std::min(f.permissions.size(), e.Permissions.size());
  std::copy_n(f.permissions.begin(), n, e.Permissions.begin());
  e.PermissionLength = uint8_t(n);
  return e;
}

}  // namespace

void Connection::TellListingEnded(ListingEnd end) {
  Post([this, end = std::move(end)] {
    if (events_.listing_ended) events_.listing_ended(end);
  });
}

void Connection::ListFolder(size_t batch_rows) {
  if (sftp_files_) {
    ListSftpFolder(batch_rows);
    return;
  }
  const std::string folder = ftp_.CurrentDirectory();
  Post([this, folder, names = session_.Names] {
    if (events_.listing_folder) events_.listing_folder(folder, names);
  });
  try {
    ftp_.ListEntries({}, /*hidden=*/true, /*probe=*/false);
  } catch (...) {
    // The folder may have changed under the rows shown: a row left there
    // would download or delete a file of the same name in the new one.
    Post([this] {
      if (events_.listing_failed) events_.listing_failed();
    });
    throw;
  }
  Post([this, names = session_.Names, lines = ftp_.ListingText().size()] {
    if (events_.listing_started) events_.listing_started(names, lines);
  });
  // The names may turn out to be UTF-8; the rows are shown by the
  // encoding settled once the whole listing has been read.
  Utf8NameVote vote;
  const size_t unread =
      ReadListingInBatches(ftp_, batch_rows, [this, &vote](std::vector<RemoteListEntry>&& batch) {
        for (const auto& e : batch) vote.Add(e.FileName);
        Post([this, batch = std::move(batch)]() mutable {
          if (events_.listing_batch) events_.listing_batch(std::move(batch), {});
        });
      });
  session_.NoteListedNames(vote);
  ftp_.ReleaseListing();  // the rows have all the owner needs
  ListingEnd end;
  end.folder = folder;
  end.names = session_.Names;
  end.unread = unread;
  end.relabel = true;
  TellListingEnded(std::move(end));
}

void Connection::ListSftpFolder(size_t batch_rows) {
  SftpRemoteFiles& files = *sftp_files_;
  const std::string folder = files.CurrentFolder();
  Post([this, folder, names = session_.Names] {
    if (events_.listing_folder) events_.listing_folder(folder, names);
    if (events_.listing_started) events_.listing_started(names, 0);
  });
  size_t listed = 0;
  const bool whole = files.ListInBatches("", batch_rows, [&](std::vector<RemoteFact>&& facts) {
    listed += facts.size();
    std::vector<RemoteListEntry> rows;
    rows.reserve(facts.size());
    std::map<std::string, std::string> links;
    for (RemoteFact& f : facts) {
      rows.push_back(EntryOfFact(f));
      if (!f.link_target.empty()) links.emplace(f.name, std::move(f.link_target));
    }
    Post([this, rows = std::move(rows), links = std::move(links)]() mutable {
      if (events_.listing_batch) events_.listing_batch(std::move(rows), std::move(links));
    });
  });
  ListingEnd end;
  end.folder = folder;
  end.names = session_.Names;
  end.whole = whole;
  end.listed = listed;
  TellListingEnded(std::move(end));
}

void Connection::EnterFolder(const std::string& name) {
  if (sftp_files_)
    sftp_files_->ChangeFolder(name);
  else
    session_.Enter(name);
}

bool Connection::UpFolder(const std::string& shown) {
  if (!sftp_files_) return session_.Up(shown);
  if (shown == sftp_home_) return false;
  sftp_files_->ChangeFolder("..");
  return true;
}

}  // namespace hemlo::transfer
