// A connection's listing of its current folder, and walking folders, for
// either protocol; the rows reach the owner in batches.
#include "remote/connection.h"

namespace hemlo::transfer {

void Connection::ListFolder(size_t batch_rows) {
  ListingReports out;
  out.folder = [this](const std::string& folder, const text::RemoteNames& names) {
    Post([this, folder, names] {
      if (events_.listing_folder) events_.listing_folder(folder, names);
    });
  };
  out.folder_started = [this](const std::string& folder, const text::RemoteNames& names) {
    Post([this, folder, names] {
      if (events_.listing_folder) events_.listing_folder(folder, names);
      if (events_.listing_started) events_.listing_started(names, 0);
    });
  };
  out.failed = [this] {
    Post([this] {
      if (events_.listing_failed) events_.listing_failed();
    });
  };
  out.started = [this](const text::RemoteNames& names, size_t lines) {
    Post([this, names, lines] {
      if (events_.listing_started) events_.listing_started(names, lines);
    });
  };
  out.batch = [this](std::vector<RemoteListEntry>&& rows,
                     std::map<std::string, std::string>&& links) {
    Post([this, rows = std::move(rows), links = std::move(links)]() mutable {
      if (events_.listing_batch) events_.listing_batch(std::move(rows), std::move(links));
    });
  };
  out.ended = [this](ListingEnd end) {
    Post([this, end = std::move(end)] {
      if (events_.listing_ended) events_.listing_ended(end);
    });
  };
  Side().List(out, batch_rows);
}

void Connection::EnterFolder(const std::string& name) { Side().Enter(name); }

bool Connection::UpFolder(const std::string& shown) { return Side().Up(shown); }

}  // namespace hemlo::transfer
