#pragma once
// One case of the publish table: a site folder, the site's folder on a real
// server, a state folder for the record, and the checks every case shares.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "publish/plan.h"
#include "publish/publish_run.h"
#include "publish/publish_servers.h"
#include "remote/ftp_remote_files.h"

namespace hemlo::publish::testing {

namespace fs = std::filesystem;

// A server's tree below the site's folder: wire paths to bytes, folders.
struct Tree {
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  bool operator==(const Tree&) const = default;
};
void PrintTo(const Tree& tree, std::ostream* os);

class Case {
 public:
  Case(Srv srv, text::NameEncoding encoding_hint);
  ~Case();

  Srv srv;
  ftp::testing::RealServer& server;
  std::unique_ptr<ftp::testing::TempFolder> temp;
  fs::path local;   // the site folder
  fs::path remote;  // the server's folder behind remote_root
  fs::path state;   // the record's folder
  std::string remote_root;
  transfer::NameEncodingMode encoding = transfer::NameEncodingMode::kAutomatic;
  text::RemoteNames names;  // as the connection settled them
  int64_t now = 0;          // seconds since 1970 when the case began
  Exclusions exclusions;    // what MakePlan leaves out

  // Local side (UTF-8 relative paths).
  void Local(const std::string& rel, const std::string& bytes);
  void LocalTime(const std::string& rel, int64_t seconds);
  int64_t LocalTimeOf(const std::string& rel) const;
  void LocalRemove(const std::string& rel);
  // Server side, as another client would leave it (UTF-8 relative paths,
  // stored under the connection's wire names).
  void Remote(const std::string& rel, const std::string& bytes);
  // A true time (seconds since 1970) for a server file.
  void RemoteTime(const std::string& rel, int64_t seconds);
  void RemoteRemove(const std::string& rel);
  fs::path RemotePath(const std::string& rel) const;

  Tree ServerTree() const;

  RemoteFactory Factory();
  std::unique_ptr<transfer::FtpRemoteFiles> Connect();
  fs::path RecordFile() const;
  // Plans over a fresh connection, with the record when `with_record`.
  Plan MakePlan(bool with_record = true, bool changed_only = false);
  RunResult Run(Plan plan, int connections,
                const std::function<void(PublishRun&, const EntryResult&)>& on_entry = nullptr);

 private:
  std::unique_ptr<ZoneForSessions> zone_;
};

// The site folder as the server holds it once everything is published:
// under the connection's wire names, without the names it cannot carry.
Tree Mirror(const Case& c);

}  // namespace hemlo::publish::testing
