// The Ferrox window's remote list filled from a 1,000,000-entry MLSD
// listing (never run by CI):
//   remote_list_bench [entries] [repeats] [port]
// With a port, the listing comes from a server already running there on
// 127.0.0.1 (anonymous login, its first folder; bench/ftp/pyftpdlib_list.sh
// starts pyftpdlib over a million files).
// A small local server answers the window's commands and sends the listing
// over a passive data connection; each run is TFtp1::RefreshRemoteList as
// the window calls it (PWD and MLSD on the connection's worker thread,
// parsed there in batches, the batches shown in the list on the UI thread)
// until the whole list is shown. A 5 ms timer on the UI thread measures the
// longest stretch the UI thread was held; resident memory is read before
// and after.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "ferrox/ftp_window.h"
#include "ferrox/remote_list_model.h"
#include "remote/remote_session.h"

namespace {

// Resident memory of this process in MiB.
double ResidentMib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

int Listen(uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0)
    std::abort();
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

int AcceptWithin(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, ms) > 0 ? ::accept(fd, nullptr, nullptr) : -1;
}

void SendAll(int fd, const std::string& s) {
  for (size_t off = 0; off < s.size();) {
    ssize_t n = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return;
    off += static_cast<size_t>(n);
  }
}

// Answers one control connection command by command; listings come from
// `listing` over EPSV/PASV.
void Serve(int listen_fd, const std::string& listing) {
  int c = AcceptWithin(listen_fd, 10'000);
  if (c < 0) return;
  SendAll(c, "220 bench\r\n");
  std::string pending;
  int data_listen = -1;
  for (;;) {
    size_t lf;
    while ((lf = pending.find('\n')) == std::string::npos) {
      char buf[4096];
      ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) {
        ::close(c);
        return;
      }
      pending.append(buf, static_cast<size_t>(n));
    }
    std::string line = pending.substr(0, lf);
    pending.erase(0, lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string verb = line.substr(0, line.find(' '));
    if (verb == "USER")
      SendAll(c, "331 any\r\n");
    else if (verb == "PASS")
      SendAll(c, "230 in\r\n");
    else if (verb == "TYPE" || verb == "NOOP" || verb == "OPTS")
      SendAll(c, "200 ok\r\n");
    else if (verb == "SYST")
      SendAll(c, "215 UNIX Type: L8\r\n");
    else if (verb == "FEAT")
      SendAll(c, "211-Features:\r\n MLST type*;size*;modify*;perm*;unix.mode*;\r\n211 End\r\n");
    else if (verb == "PWD")
      SendAll(c, "257 \"/\"\r\n");
    else if (verb == "CWD")
      SendAll(c, "250 ok\r\n");
    else if (verb == "EPSV" || verb == "PASV") {
      uint16_t port = 0;
      if (data_listen >= 0) ::close(data_listen);
      data_listen = Listen(port);
      if (verb == "EPSV")
        SendAll(c, "229 Extended (|||" + std::to_string(port) + "|)\r\n");
      else
        SendAll(c, "227 Passive (127,0,0,1," + std::to_string(port / 256) + "," +
                       std::to_string(port % 256) + ")\r\n");
    } else if (verb == "MLSD" || verb == "LIST") {
      SendAll(c, "150 here\r\n");
      int d = AcceptWithin(data_listen, 10'000);
      if (d >= 0) {
        SendAll(d, listing);
        ::close(d);
      }
      SendAll(c, "226 done\r\n");
    } else if (verb == "QUIT") {
      SendAll(c, "221 bye\r\n");
      break;
    } else {
      SendAll(c, "502 no\r\n");
    }
  }
  if (data_listen >= 0) ::close(data_listen);
  ::close(c);
}

std::string MlsdListing(size_t entries) {
  std::string out;
  out.reserve(entries * 110);
  char buf[256];
  for (size_t i = 0; i < entries; ++i) {
    const unsigned n = static_cast<unsigned>(i);
    std::snprintf(buf, sizeof buf,
                  "type=%s;size=%u;modify=20%02u%02u%02u%02u%02u%02u;perm=adfrw;unix.mode=0644; "
                  "entry %07u.dat\r\n",
                  n % 50 == 0 ? "dir" : "file", n * 7 % 100000000, n % 24, n % 12 + 1, n % 28 + 1,
                  n % 24, n % 60, n % 60, n);
    out += buf;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const size_t entries = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1'000'000;
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
  const int external_port = argc > 3 ? std::atoi(argv[3]) : 0;
  const std::string listing = external_port ? std::string() : MlsdListing(entries);

  const auto program =
      std::filesystem::temp_directory_path() / ("remote_list_bench." + std::to_string(::getpid()));
  std::filesystem::create_directories(program);
  hemlo::SetProgramFolder(program);
  double best = 1e18;
  size_t shown = 0;
  {
    uint16_t port = static_cast<uint16_t>(external_port);
    const int listen_fd = external_port ? -1 : Listen(port);
    std::thread server;
    if (!external_port) server = std::thread(Serve, listen_fd, std::cref(listing));
    hemlo::ScriptedPrompts prompts;
    hemlo::TFtp1 window(&prompts);
    hemlo::ftp::TIdFTP& ftp = window.Client();
    ftp.Host = "127.0.0.1";
    ftp.Port = port;
    ftp.Username = external_port ? "anonymous" : "bench";
    ftp.Password = "bench@example.invalid";
    ftp.Connect();
    ftp.MlstSupported();
    auto ms_since = [](std::chrono::steady_clock::time_point t0) {
      return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
          .count();
    };
    const double base_mib = ResidentMib();
    double worst_held = 0, peak_mib = 0;
    for (int i = 0; i < repeats; ++i) {
      QElapsedTimer clock;
      clock.start();
      qint64 last = 0, held = 0;
      QTimer timer;
      QObject::connect(&timer, &QTimer::timeout, [&] {
        held = std::max(held, clock.elapsed() - last);
        last = clock.elapsed();
        peak_mib = std::max(peak_mib, ResidentMib());
      });
      timer.start(5);
      auto t0 = std::chrono::steady_clock::now();
      window.RefreshRemoteList();
      while (window.ClientBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      const double ms = ms_since(t0);
      timer.stop();
      best = std::min(best, ms);
      worst_held = std::max(worst_held, static_cast<double>(held));
      std::printf("run %d: %.0f ms to the whole list, UI thread held at most %lld ms\n", i + 1, ms,
                  static_cast<long long>(held));
    }
    std::printf(
        "resident memory: %.0f MiB before the listings, peak %.0f MiB (+%.0f MiB); UI thread "
        "held at most %.0f ms (target <= 50)\n",
        base_mib, peak_mib, peak_mib - base_mib, worst_held);
    // Header clicks on the whole list: names (the locale's order), sizes,
    // names again (descending). Time to the sorted list and the longest
    // hold of the UI thread meanwhile.
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    auto* model = qobject_cast<hemlo::transfer_ui::RemoteListModel*>(list->model());
    shown = static_cast<size_t>(model->rowCount());
    for (int column : {0, 2, 0}) {
      QElapsedTimer clock;
      clock.start();
      qint64 last = 0, held = 0;
      QTimer timer;
      QObject::connect(&timer, &QTimer::timeout, [&] {
        held = std::max(held, clock.elapsed() - last);
        last = clock.elapsed();
      });
      timer.start(5);
      bool done = false;
      auto connection = QObject::connect(model, &hemlo::transfer_ui::RemoteListModel::sorted,
                                         [&] { done = true; });
      auto t0 = std::chrono::steady_clock::now();
      window.ColumnClick(list, column);
      while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      QCoreApplication::processEvents();  // the list shows the new order
      held = std::max(held, clock.elapsed() - last);
      QObject::disconnect(connection);
      std::printf("sort by column %d: %.0f ms to the sorted list, UI thread held at most %lld ms\n",
                  column, ms_since(t0), static_cast<long long>(held));
    }
    // The steps apart, once: the wire, the parse, the rows.
    auto t0 = std::chrono::steady_clock::now();
    if (!external_port) {
      ftp.ListEntries({}, true, false);
      const double wire = ms_since(t0);
      t0 = std::chrono::steady_clock::now();
      const size_t parsed = ftp.DirectoryListing().Count();
      const double parse = ms_since(t0);
      t0 = std::chrono::steady_clock::now();
      const size_t rows = hemlo::transfer::RowsOfListing(ftp.DirectoryListing()).size();
      const double row_texts = ms_since(t0);
      std::printf(
          "steps: MLSD over the wire and split %.0f ms, %zu items parsed %.0f ms, %zu rows %.0f "
          "ms\n",
          wire, parsed, parse, rows, row_texts);
    }

    ftp.Disconnect();
    if (server.joinable()) server.join();
    if (listen_fd >= 0) ::close(listen_fd);
  }
  std::filesystem::remove_all(program);
  std::printf(
      "remote list from a %zu-entry MLSD listing: %zu rows, best of %d: %.0f ms (target < 3000 "
      "ms)\n",
      entries, shown, repeats, best);
  return 0;
}
