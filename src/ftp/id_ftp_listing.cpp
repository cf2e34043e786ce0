#include "base/ascii_case.h"
#include "ftp/id_ftp.h"
#include "ftp/id_ftp_internal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hemlo::ftp {

using detail::kTransferInCodes;

void ListingLineSplitter::Add(const char* p, size_t n) {
  if (n == 0) return;
  const char* const end = p + n;
  if (after_cr_ && *p == '\n') ++p;
  after_cr_ = false;
  while (p < end) {
    const char* brk = p;
    while (brk < end && *brk != '\r' && *brk != '\n') ++brk;
    if (brk == end) {
      partial_.append(p, end);
      return;
    }
    if (partial_.empty()) {
      lines_.emplace_back(p, brk);
    } else {
      partial_.append(p, brk);
      lines_.push_back(std::move(partial_));
      partial_.clear();
    }
    p = brk + 1;
    if (*brk == '\r') {
      if (p == end) {
        after_cr_ = true;  // its LF may open the next piece
        return;
      }
      if (*p == '\n') ++p;
    }
  }
}

void ListingLineSplitter::Finish() {
  if (!partial_.empty()) lines_.push_back(std::move(partial_));
  partial_.clear();
  after_cr_ = false;
}

std::vector<std::string> SplitListingLines(const std::string& bytes) {
  std::vector<std::string> lines;
  ListingLineSplitter splitter(lines);
  splitter.Add(bytes.data(), bytes.size());
  splitter.Finish();
  return lines;
}

void TIdFTP::ListInto(std::vector<std::string>& lines, const std::string& command) {
  // Cut into lines as the bytes come: the whole text of a long listing is
  // never held beside its lines.
  lines.clear();
  ListingLineSplitter splitter(lines);
  const uint64_t cap = MaxListingBytes > 0 ? static_cast<uint64_t>(MaxListingBytes) : UINT64_MAX;
  const int64_t line_cap = MaxListingLines > 0 ? MaxListingLines : INT64_MAX;
  uint64_t bytes = 0;
  int64_t breaks = 0;
  RunTransfer(command, kTransferInCodes, 0, [&] {
    ReceiveAll([&](const char* p, size_t n) {
      bytes += n;
      if (bytes > cap) throw EIdListingTooLarge();
      breaks += std::count(p, p + n, '\n');
      if (breaks > line_cap) throw EIdListingTooLarge();
      splitter.Add(p, n);
    });
  });
  splitter.Finish();
}

namespace {
// "." and ".." entries that "LIST -a" adds: a directory line naming itself.
bool IsSelfOrParentLine(const std::string& line) {
  if (line.empty() || (line[0] != 'd' && line[0] != 'D')) return false;
  auto ends_with = [&](std::string_view tail) {
    return line.size() >= tail.size() &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  };
  return ends_with(" .") || ends_with(" ..");
}

// A listing of one entry named "-a" (a "total" line aside): what a server
// that takes "-a" for a name sends when such a file exists. Stops at the
// second entry.
bool ListsOnlyDashA(const std::vector<std::string>& lines) {
  size_t entries = 0;
  bool dash_a = false;
  for (size_t i = 0; i < lines.size() && entries < 2; ++i) {
    const std::string_view l = TrimControl(lines[i]);
    if (l.empty() || l.rfind("total", 0) == 0) continue;
    ++entries;
    dash_a = l == "-a" || (l.size() > 3 && l.substr(l.size() - 3) == " -a");
  }
  return entries == 1 && dash_a;
}
}  // namespace

void TIdFTP::ListDirectory(std::vector<std::string>* dest, const std::string& path, bool details,
                           bool hidden) {
  // A name starting with "-" would be read as options by many servers.
  const std::string target = !path.empty() && path[0] == '-' ? "./" + path : path;
  const std::string plain(TrimControl((details ? "LIST " : "NLST ") + target));
  std::vector<std::string> lines;
  if (details && hidden && list_hidden_ok_) {
    bool plain_now = false;
    try {
      ListInto(lines, std::string(TrimControl("LIST -a " + target)));
    } catch (const EIdProtocolReplyError& e) {
      const int code = e.ErrorCode();
      // A transient failure (425, 450) says nothing about "-a": report it.
      if (code < 500) throw;
      // Not understood: plain LIST from now on. Any other refusal (a name
      // the server took "-a" for, a missing folder) is the plain LIST's to
      // settle this time.
      if (code <= 504) list_hidden_ok_ = false;
      plain_now = true;
    }
    // Nothing at all, or only a file named "-a": the option was taken for
    // a name. Ask plainly; a plain listing that tells a different story
    // settles it for the connection.
    if (plain_now) {
      ListInto(lines, plain);
    } else if (lines.empty() || ListsOnlyDashA(lines)) {
      const std::vector<std::string> hidden_lines = lines;
      ListInto(lines, plain);
      if (lines != hidden_lines) list_hidden_ok_ = false;
    }
  } else {
    ListInto(lines, plain);
  }
  listing_ = std::move(lines);
  directory_listing_.reset();
  ThrowIfCancelled();
  if (details && hidden)
    listing_.erase(std::remove_if(listing_.begin(), listing_.end(), IsSelfOrParentLine),
                   listing_.end());
  listing_details_ = details;
  listing_mlsd_ = false;
  if (dest) *dest = listing_;
  directory_listing_.reset();
}

namespace {
// The facts of a FEAT line of the form "MLST type*;size*;unix.mode;": the
// reply keeps each line from its fifth character on, so what is left of it
// is a fact list after one space, and only MLST announces the "type" fact.
// Empty for any other line.
std::vector<std::string> MlstFacts(std::string_view text) {
  std::vector<std::string> facts;
  if (text.size() < 5 || text[0] != ' ') return facts;
  bool typed = false;
  for (text.remove_prefix(1); !text.empty();) {
    size_t semi = text.find(';');
    std::string fact = AsciiLowered(std::string(TrimControl(text.substr(0, semi))));
    typed = typed || fact == "type" || fact == "type*";
    if (!fact.empty()) facts.push_back(std::move(fact));
    if (semi == std::string_view::npos) break;
    text.remove_prefix(semi + 1);
  }
  if (!typed) facts.clear();
  return facts;
}
}  // namespace

const std::vector<std::string>& TIdFTP::Features() {
  if (!features_) {
    features_.emplace();
    try {
      SendCmd("FEAT", {211});
      // Feature lines stand between the first line and the closing one.
      const auto& lines = LastReply.Lines;
      for (size_t i = 1; i + 1 < lines.size(); ++i) features_->push_back(lines[i]);
    } catch (const EIdProtocolReplyError&) {
      // No FEAT: no features either.
    }
  }
  return *features_;
}

bool TIdFTP::FeatureAnnounced(std::string_view name) {
  for (const std::string& line : Features()) {
    std::string_view word = TrimControl(line);
    word = word.substr(0, word.find(' '));
    if (AsciiEqualNoCase(word, name)) return true;
  }
  return false;
}

bool TIdFTP::EnableUtf8Names() {
  try {
    SendCmd("OPTS UTF8 ON", {200, 202});
    return true;
  } catch (const EIdProtocolReplyError&) {
    return false;
  }
}

bool TIdFTP::MlstSupported() {
  if (mlst_ >= 0) return mlst_ == 1;
  mlst_ = 0;
  std::vector<std::string> facts;
  for (const std::string& line : Features()) {
    // MlstFacts reads a line the way the reply keeps it: from its fifth character on.
    if (line.size() > 4) facts = MlstFacts(std::string_view(line).substr(4));
    if (!facts.empty()) break;
  }
  if (facts.empty()) return false;
  mlst_ = 1;
  // Facts offered but not sent unasked (no "*"), such as unix.mode, which
  // the permission column needs: ask for them with the usual ones.
  static const char* const kWanted[] = {"type",      "size",       "modify",    "perm",
                                        "unix.mode", "unix.owner", "unix.group"};
  std::string wanted;
  bool missing = false;
  for (const char* name : kWanted) {
    for (const std::string& f : facts) {
      const bool on = !f.empty() && f.back() == '*';
      if ((on ? f.substr(0, f.size() - 1) : f) != name) continue;
      wanted += std::string(name) + ';';
      missing = missing || !on;
    }
  }
  if (missing) {
    try {
      SendCmd("OPTS MLST " + wanted, {200});
    } catch (const EIdProtocolReplyError&) {
      // Then the listings come with the facts the server chose.
    }
  }
  return true;
}

void TIdFTP::ListEntries(const std::string& path, bool hidden, bool probe) {
  if (probe ? MlstSupported() : mlst_ == 1) {
    std::vector<std::string> lines;
    try {
      // MLSD takes no options, so a name starting with "-" is safe as it is.
      ListInto(lines, std::string(TrimControl("MLSD " + path)));
      listing_ = std::move(lines);
      directory_listing_.reset();
      ThrowIfCancelled();
      listing_details_ = true;
      listing_mlsd_ = true;
      directory_listing_.reset();
      return;
    } catch (const EIdProtocolReplyError& e) {
      // Not implemented after all: LIST from now on. Any other refusal
      // (a missing folder, say) is LIST's to report this time.
      if (e.ErrorCode() >= 500 && e.ErrorCode() <= 504) mlst_ = 0;
    }
  }
  ListDirectory(nullptr, path, true, hidden);
}
TIdFTPListItems& TIdFTP::DirectoryListing() {
  if (!directory_listing_) {
    directory_listing_ = std::make_unique<TIdFTPListItems>();
    directory_listing_->OnCheckListFormat = OnCheckListFormat;
    directory_listing_->OnParseCustomListFormat = OnParseCustomListFormat;
    if (listing_mlsd_) {
      directory_listing_->LoadMlsd(listing_);
    } else {
      directory_listing_->LoadList(listing_, listing_details_);
    }
  }
  return *directory_listing_;
}

}  // namespace hemlo::ftp
