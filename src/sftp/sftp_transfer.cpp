// File transfers with many requests in flight: the window of outstanding
// reads or writes, not the round trip, sets the speed.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

#include "ftp/id_exception.h"
#include "sftp/sftp_client.h"

namespace hemlo::sftp {

namespace {

[[noreturn]] void LocalFailure(const char* what, int error) {
  throw ftp::EIdException(std::string(what) + ": " + std::strerror(error));
}

struct Pending {
  uint64_t offset;
  uint32_t length;
};

}  // namespace

void SftpClient::Download(const std::string& remote, int fd, const Progress& progress) {
  const std::string handle =
      Handle(Send(kOpen, [&](PacketWriter& p) { p.Str(remote).U32(kOpenRead).Attrs({}); }),
             "ファイルを開けません", remote);
  std::map<uint32_t, Pending> in_flight;
  try {
    int64_t total = 0;
    {
      const std::string body = Await(Send(kFstat, [&](PacketWriter& p) { p.Str(handle); }));
      PacketReader in(body);
      if (in.U8() == kAttrs) {
        in.U32();
        const Attributes a = in.Attrs();
        if (a.flags & Attributes::kSize) total = int64_t(a.size);
      }
    }
    if (progress) progress(0, total);
    uint64_t next = 0;
    int64_t done = 0;
    bool at_end = false;
    const auto request = [&](uint64_t offset, uint32_t length) {
      const uint32_t id =
          Send(kRead, [&](PacketWriter& p) { p.Str(handle).U64(offset).U32(length); });
      in_flight.emplace(id, Pending{offset, length});
    };
    while (!at_end || !in_flight.empty()) {
      while (!at_end && int(in_flight.size()) < tuning_.in_flight) {
        request(next, tuning_.chunk);
        next += tuning_.chunk;
      }
      AwaitAny();
      for (auto it = in_flight.begin(); it != in_flight.end();) {
        auto reply = replies_.find(it->first);
        if (reply == replies_.end()) {
          ++it;
          continue;
        }
        const std::string body = std::move(reply->second);
        replies_.erase(reply);
        const Pending asked = it->second;
        it = in_flight.erase(it);
        PacketReader in(body);
        const uint8_t type = in.U8();
        in.U32();
        if (type == kStatus) {
          if (PacketReader(body.substr(5, 4)).U32() == kEof) {
            at_end = true;
            continue;
          }
          Refused(in, "ファイルを読めません", remote);
        }
        if (type != kData) throw std::out_of_range("no data");
        const std::string_view data = in.StrView();
        if (data.size() > asked.length) throw std::out_of_range("too much data");
        for (size_t written = 0; written < data.size();) {
          const ssize_t n = ::pwrite(fd, data.data() + written, data.size() - written,
                                     off_t(asked.offset + written));
          if (n < 0) {
            if (errno == EINTR) continue;
            LocalFailure("ローカルのファイルに書けません", errno);
          }
          written += size_t(n);
        }
        done += int64_t(data.size());
        // A short answer before the end: ask again for the rest.
        if (data.size() < asked.length && !data.empty()) {
          request(asked.offset + data.size(), uint32_t(asked.length - data.size()));
        }
        if (data.empty()) at_end = true;
        if (progress) progress(done, total);
      }
    }
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  } catch (const ftp::EIdConnectionLost&) {
    throw;
  } catch (...) {
    std::vector<uint32_t> ids;
    for (const auto& [id, p] : in_flight) ids.push_back(id);
    Forget(ids);
    if (Connected()) CloseHandle(handle, false);
    throw;
  }
  CloseHandle(handle, true);
}

void SftpClient::Upload(int fd, int64_t size, const std::string& remote, const Progress& progress) {
  const std::string handle =
      Handle(Send(kOpen,
                  [&](PacketWriter& p) {
                    p.Str(remote).U32(kOpenWrite | kOpenCreate | kOpenTruncate).Attrs({});
                  }),
             "ファイルを作れません", remote);
  std::vector<uint32_t> in_flight;
  std::string chunk(tuning_.chunk, '\0');
  try {
    const int64_t total = size < 0 ? 0 : size;
    if (progress) progress(0, total);
    uint64_t offset = 0;
    int64_t acknowledged = 0;
    std::map<uint32_t, uint32_t> lengths;
    bool at_end = false;
    while (!at_end || !in_flight.empty()) {
      while (!at_end && int(in_flight.size()) < tuning_.in_flight) {
        ssize_t n = 0;
        size_t got = 0;
        while (got < chunk.size()) {
          n = ::read(fd, chunk.data() + got, chunk.size() - got);
          if (n < 0 && errno == EINTR) continue;
          if (n < 0) LocalFailure("ローカルのファイルを読めません", errno);
          if (n == 0) break;
          got += size_t(n);
        }
        if (got == 0) {
          at_end = true;
          break;
        }
        const uint32_t id = Send(kWrite, [&](PacketWriter& p) {
          p.Str(handle).U64(offset).Str(std::string_view(chunk.data(), got));
        });
        in_flight.push_back(id);
        lengths[id] = uint32_t(got);
        offset += got;
        if (got < chunk.size()) at_end = true;
      }
      if (in_flight.empty()) break;
      AwaitAny();
      for (auto it = in_flight.begin(); it != in_flight.end();) {
        auto reply = replies_.find(*it);
        if (reply == replies_.end()) {
          ++it;
          continue;
        }
        const std::string body = std::move(reply->second);
        replies_.erase(reply);
        const uint32_t id = *it;
        it = in_flight.erase(it);
        PacketReader in(body);
        if (in.U8() != kStatus) throw std::out_of_range("no status");
        in.U32();
        if (PacketReader(body.substr(5, 4)).U32() != kOk)
          Refused(in, "ファイルに書けません", remote);
        acknowledged += lengths[id];
        lengths.erase(id);
        if (progress) progress(acknowledged, total);
      }
    }
  } catch (const std::out_of_range&) {
    ssh_.Close();
    throw ftp::EIdConnectionLost("サーバの SFTP の応答が壊れています");
  } catch (const ftp::EIdConnectionLost&) {
    throw;
  } catch (...) {
    Forget(in_flight);
    if (Connected()) CloseHandle(handle, false);
    throw;
  }
  // The close reports what the server could not store (a full disk).
  const uint32_t id = Send(kClose, [&](PacketWriter& p) { p.Str(handle); });
  ExpectOk(id, "ファイルを書き終えられません", remote);
}

}  // namespace hemlo::sftp
