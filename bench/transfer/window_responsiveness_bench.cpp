// How the program's UI thread fares while the Ferrox window waits on the
// network (on its worker thread), and how fast Escape ends a wait. A timer asks to run every 10 ms
// on the UI thread; its lateness is what any other window would feel.
//   window_responsiveness_bench [SIZE_MIB] [IDLE_MS]   (default 1024, 0)
// Scenes: a SIZE_MIB download from vsftpd on loopback, to disk and (without
// the page cache's cost) to /dev/null through the client; a server that
// never answers, cancelled with Escape after 3 s; a download cancelled with
// Escape half-way. Prints the 50th/99th percentile and worst lateness of the
// timer, and the time from Escape to "中断しました！！".
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>
#include <QAbstractItemView>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/real_servers.h"
#include "base/program_folder.h"
#include "base/prompts.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"

namespace {

using namespace hemlo;
namespace fs = std::filesystem;

QElapsedTimer g_clock;

class TimedPrompts : public Prompts {
 public:
  qint64 stop_shown_at = -1;
  Answer Message(const std::string&, const std::string& text, Buttons, Icon,
                 Answer = Answer::Yes) override {
    if (text == "中断しました！！" && stop_shown_at < 0) stop_shown_at = g_clock.elapsed();
    return Answer::Yes;
  }
  void Error(const std::string& text) override {
    std::fprintf(stderr, "error: %s\n", text.c_str());
  }
  std::optional<std::string> Input(const std::string&, const std::string&,
                                   const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> OpenFile(const FileDialogRequest&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(const FileDialogRequest&) override { return std::nullopt; }
  void ProcessEvents() override { QCoreApplication::processEvents(); }
};

// Lateness of a 10 ms timer while `scene` runs.
struct Lateness {
  std::vector<qint64> late_ms;
  void Print(const char* name, double seconds) {
    std::sort(late_ms.begin(), late_ms.end());
    auto pct = [&](double p) {
      return late_ms.empty()
                 ? 0
                 : late_ms[std::min(late_ms.size() - 1, static_cast<size_t>(p * late_ms.size()))];
    };
    std::printf("%-34s %6.2f s  ticks %5zu  late p50 %3lld ms  p99 %3lld ms  max %3lld ms\n", name,
                seconds, late_ms.size(), static_cast<long long>(pct(0.5)),
                static_cast<long long>(pct(0.99)),
                static_cast<long long>(late_ms.empty() ? 0 : late_ms.back()));
  }
};

// Marks the start and end of a scene on stderr, in CLOCK_MONOTONIC seconds,
// for a probe outside the process (bench/transfer/accessibility_bench.sh).
void Mark(const std::string& scene, const char* edge) {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  std::fprintf(stderr, "scene %s %s %.6f\n", edge, scene.c_str(),
               static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9);
}

template <typename Scene>
Lateness Measure(Scene scene) {
  Lateness l;
  qint64 due = g_clock.elapsed() + 10;
  QTimer t;
  t.setTimerType(Qt::PreciseTimer);
  QObject::connect(&t, &QTimer::timeout, [&] {
    const qint64 now = g_clock.elapsed();
    l.late_ms.push_back(std::max<qint64>(0, now - due));
    due = now + 10;
  });
  t.start(10);
  scene();
  t.stop();
  return l;
}

void Escape(TFtp1& w) {
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(w.findChild<QAbstractItemView*>(QStringLiteral("ListView1")), &esc);
}

// Lets events run until the window's command has ended.
void Settle(TFtp1& w) {
  while (w.ClientBusy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void WriteProfile(const fs::path& folder, uint16_t port, const std::string& user,
                  const std::string& pw, const std::string& dir) {
  transfer::WriteProfileFile(
      folder, {transfer::JoinCommaText({"b", "127.0.0.1:" + std::to_string(port), user, pw, dir})});
}

void SelectRemote(TFtp1& w, const QString& name) {
  auto* list = w.findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
  list->clearSelection();
  for (int i = 0; i < list->model()->rowCount(); ++i)
    if (list->model()->index(i, 0).data().toString() == name)
      list->selectionModel()->select(list->model()->index(i, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  g_clock.start();
  const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
  const int idle_ms = argc > 2 ? std::atoi(argv[2]) : 0;  // a baseline scene first
  ftp::testing::TempFolder program, local;
  SetProgramFolder(program.path());

  // ---- a large download from vsftpd ----
  auto server = ftp::testing::StartVsftpd();
  {
    std::ofstream big(server->files / "big.bin", std::ios::binary);
    std::vector<char> chunk(1 << 20, 'x');
    for (int64_t i = 0; i < mib; ++i)
      big.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  }
  WriteProfile(program.path(), server->port, server->user, server->password, "/pub");
  TimedPrompts prompts;
  {
    TFtp1 w(&prompts);
    w.show();  // seen by accessibility clients
    WireTransferOperations(w, nullptr);
    w.SetLocalFolder(QString::fromStdString(local.path().string()));
    w.Button1Click();
    Settle(w);
    if (!w.Client().Connected()) return 1;
    QElapsedTimer t;
    t.start();
    // Connected and idle, as a baseline.
    Mark("idle", "begin");
    Measure([&] {
      QEventLoop idle;
      QTimer::singleShot(idle_ms, &idle, &QEventLoop::quit);
      idle.exec();
    }).Print("idle", t.elapsed() / 1000.0);
    Mark("idle", "end");
    SelectRemote(w, QStringLiteral("big.bin"));
    t.restart();
    Mark("download", "begin");
    Measure([&] {
      emit w.downloadSelectedRequested();
      Settle(w);
    }).Print(("download " + std::to_string(mib) + " MiB to disk").c_str(), t.elapsed() / 1000.0);
    Mark("download", "end");
    fs::remove(local.path() / "big.bin");

    // Through the worker, into /dev/null.
    t.restart();
    Measure([&] {
      w.RunClientCommand([&] { w.Client().Download("big.bin", "/dev/null", true); });
      Settle(w);
    })
        .Print(("download " + std::to_string(mib) + " MiB to /dev/null").c_str(),
               t.elapsed() / 1000.0);

    // Escape half a second into the download.
    SelectRemote(w, QStringLiteral("big.bin"));
    qint64 escaped = -1;
    // Tied to the window: a download done before the second is out must
    // not leave the Escape to a window that is gone.
    QTimer::singleShot(500, &w, [&] {
      escaped = g_clock.elapsed();
      Escape(w);
    });
    prompts.stop_shown_at = -1;
    emit w.downloadSelectedRequested();
    Settle(w);
    if (escaped < 0)
      std::printf("cancel during a download: the download ended before the Escape\n");
    else
      std::printf(
          "cancel during a download: Escape -> 中断しました！！ %lld ms; connection %s; partial "
          "file %s\n",
          static_cast<long long>(prompts.stop_shown_at - escaped),
          w.Client().Connected() ? "kept" : "closed",
          fs::exists(local.path() / "big.bin") ? "LEFT" : "none");
    w.Button2Click();
  }
  server.reset();

  // ---- a server that accepts and never says a word ----
  int mute = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(mute, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::listen(mute, 1);
  socklen_t len = sizeof a;
  ::getsockname(mute, reinterpret_cast<sockaddr*>(&a), &len);
  WriteProfile(program.path(), ntohs(a.sin_port), "u", "p", "");
  {
    TFtp1 w(&prompts);
    w.show();
    qint64 escaped = -1;
    QTimer::singleShot(3000, &w, [&] {
      escaped = g_clock.elapsed();
      Escape(w);
    });
    prompts.stop_shown_at = -1;
    QElapsedTimer t;
    t.start();
    Mark("silent", "begin");
    Measure([&] {
      w.Button1Click();
      Settle(w);
    }).Print("silent server, 3 s", t.elapsed() / 1000.0);
    Mark("silent", "end");
    std::printf("cancel of a silent server: Escape -> 中断しました！！ %lld ms\n",
                static_cast<long long>(prompts.stop_shown_at - escaped));
  }
  ::close(mute);
  return 0;
}
