// The Ferrox window against servers that misbehave the way real ones do:
// one that goes silent, one that drops the connection.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QDialog>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <filesystem>
#include <fstream>

#include "support/real_servers.h"
#include "support/scripted_server.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "ftp_window_controls.h"
#include "remote/comma_text.h"
#include "transfer/ferrox_files.h"
#include "ferrox/ftp2_form.h"
#include "ferrox/ftp_window.h"
#include "ferrox/ftp_window_wiring.h"
#include "ferrox/remote_list_model.h"

namespace hemlo {
namespace {
namespace fs = std::filesystem;
using ftp::testing::ScriptedServer;
using ftp::testing::ScriptSession;
using ftp::testing::TempFolder;

const std::string kLost = "サーバとの接続が切れました";

enum class Fault {
  kSilentAfterLogin,
  kResetAfterFirstList,
  kResetOnStor,
  kSilentOnSite,
  kCloseAfterGreeting,
  kCloseAfterUser,
  kCloseDuringFirstList,
  kSilentTlsHandshake,
  kMillionEntries,
  kSlowDownload,
  kListRefusedInSub,
};

constexpr int kMillion = 1'000'000;
// Time bounds stretch on a slow or busy machine.
const qint64 kSlower = test_support::SlowerFactor();
constexpr int kSlowChunks = 150;  // of 32 KiB, one every 20 ms: about 3 s
constexpr size_t kSlowChunk = 32 * 1024;

// A small active-mode server: answers what the window sends until the
// fault. `reached` is set once the fault's moment has come.
void Serve(ScriptSession& s, Fault fault, std::atomic<bool>* reached = nullptr) {
  const auto reach = [&] {
    if (reached) *reached = true;
  };
  s.Send("220 ready\r\n");
  if (fault == Fault::kCloseAfterGreeting) return;
  std::string port;
  bool in_sub = false;
  for (;;) {
    const std::string c = s.ReadCommand();
    if (c.empty()) return;
    const std::string verb = c.substr(0, c.find(' '));
    if (verb == "USER" && fault == Fault::kCloseAfterUser) {
      return;
    } else if (verb == "LIST" && fault == Fault::kCloseDuringFirstList) {
      s.Send("150 here\r\n");
      const int fd = s.ConnectData(port);
      ScriptSession::SendAll(fd, "drwxr-xr-x 2 u g 4096 Jan 01 2020 sub\r\n");
      s.CloseControl();
      ::close(fd);
      return;
    } else if (verb == "USER") {
      s.Send("331 password\r\n");
    } else if (verb == "PASS") {
      s.Send("230 in\r\n");
    } else if (verb == "CWD" && fault == Fault::kListRefusedInSub) {
      in_sub = c == "CWD sub";
      s.Send("250 ok\r\n");
    } else if (verb == "LIST" && in_sub) {
      s.Send("550 Permission denied.\r\n");
    } else if (verb == "TYPE" || verb == "CWD") {
      s.Send(verb == "CWD" ? "250 ok\r\n" : "200 ok\r\n");
    } else if (verb == "SYST") {
      s.Send("215 UNIX Type: L8\r\n");
    } else if (verb == "PWD" && fault == Fault::kSilentAfterLogin) {
      s.WaitForClose();  // never answers
      return;
    } else if (verb == "PWD") {
      s.Send("257 \"/\"\r\n");
    } else if (verb == "AUTH" && fault == Fault::kSilentTlsHandshake) {
      s.Send("234 go ahead\r\n");
      // The client's hello has come: it now waits for ours.
      if (!s.AwaitBytes()) throw std::runtime_error("script: no TLS hello");
      reach();
      s.WaitForClose();  // never says hello
      return;
    } else if (verb == "PORT") {
      port = c;
      s.Send("200 ok\r\n");
    } else if (verb == "ABOR") {
      s.Send("426 aborted\r\n226 abort done\r\n");
    } else if (verb == "NOOP") {
      s.Send("200 ok\r\n");
    } else if (verb == "LIST" && fault == Fault::kMillionEntries) {
      s.Send("150 here\r\n");
      const int fd = s.ConnectData(port);
      std::string chunk;
      char line[80];
      for (int i = 0; i < kMillion; ++i) {
        chunk.append(line, static_cast<size_t>(std::snprintf(
                               line, sizeof line,
                               "-rw-r--r-- 1 u g %d Jan 01 2020 file%07d.htm\r\n", i, i)));
        if (chunk.size() > (1 << 20) || i + 1 == kMillion) {
          ScriptSession::SendAll(fd, chunk);
          chunk.clear();
        }
      }
      ::close(fd);
      s.Send("226 done\r\n");
      reach();
    } else if (verb == "LIST" && fault == Fault::kSlowDownload) {
      s.Send("150 here\r\n");
      const int fd = s.ConnectData(port);
      ScriptSession::SendAll(fd, "-rw-r--r-- 1 u g " + std::to_string(kSlowChunks * kSlowChunk) +
                                     " Jan 01 2020 big.bin\r\n");
      ::close(fd);
      s.Send("226 done\r\n");
    } else if (verb == "RETR") {
      s.Send("150 here\r\n");
      const int fd = s.ConnectData(port);
      bool whole = true;
      for (int i = 0; i < kSlowChunks && whole; ++i) {
        whole = ::send(fd, std::string(kSlowChunk, 'b').data(), kSlowChunk, MSG_NOSIGNAL) ==
                static_cast<ssize_t>(kSlowChunk);
        reach();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      ::close(fd);
      if (whole) s.Send("226 done\r\n");
    } else if (verb == "LIST") {
      s.Send("150 here\r\n");
      const int fd = s.ConnectData(port);
      ScriptSession::SendAll(fd, "drwxr-xr-x 2 u g 4096 Jan 01 2020 sub\r\n");
      ::close(fd);
      s.Send("226 done\r\n");
      if (fault == Fault::kResetAfterFirstList) {
        // Gone while the window sits idle: the next command meets it.
        s.ReadCommand();
        s.ResetControl();
        return;
      }
    } else if (verb == "SITE" && fault == Fault::kSilentOnSite) {
      reach();
      s.WaitForClose();
      return;
    } else if (verb == "STOR") {
      s.ResetControl();
      return;
    } else {
      s.Send("502 no\r\n");
    }
  }
}

class FtpWindowFieldTest : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramFolder(program.path()); }
  // A window with one active-mode profile for the server on `port`.
  std::unique_ptr<TFtp1> Open(uint16_t port, transfer::TFtp2* permission_dialog = nullptr,
                              const std::string& scheme = "") {
    EXPECT_TRUE(transfer::WriteProfileFile(
                    program.path(),
                    {transfer::JoinCommaText({"s", scheme + "127.0.0.1:" + std::to_string(port),
                                              "u", "p", "", "active"})})
                    .ok);
    auto w = std::make_unique<TFtp1>(&prompts);
    WireTransferOperations(*w, permission_dialog);
    w->SetLocalFolder(QString::fromStdString(local.path().string()));
    return w;
  }
  size_t Count(const std::string& text) const {
    return static_cast<size_t>(std::count_if(prompts.asked.begin(), prompts.asked.end(),
                                             [&](const auto& a) { return a.text == text; }));
  }

  TempFolder program, local;
  ScriptedPrompts prompts;
};

TEST_F(FtpWindowFieldTest, SilentServerIsCancelledByEscapeWhileTheProgramKeepsRunning) {
  ScriptedServer server([](ScriptSession& s) { Serve(s, Fault::kSilentAfterLogin); });
  auto w = Open(server.port());
  prompts.answers = {Answer::Ok};

  // A timer on the UI thread stands for every other window's events.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, worst_gap = 0;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    worst_gap = std::max(worst_gap, clock.elapsed() - last);
    last = clock.elapsed();
    ++ticks;
    // Meanwhile nothing else may start a command on the client.
    EXPECT_FALSE(Ui(w).Button2->isEnabled());
  });
  timer.start(10);
  // However often Escape is pressed, the stop is said once.
  qint64 escaped_at = -1, ended_at = -1;
  QObject::connect(w.get(), &TFtp1::commandFinished, [&] { ended_at = clock.elapsed(); });
  QTimer::singleShot(400, [&] {
    escaped_at = clock.elapsed();
    QTest::keyClick(Ui(w).ListView1, Qt::Key_Escape);
    QTest::keyClick(Ui(w).ListView1, Qt::Key_Escape);
  });
  w->Button1Click();
  ASSERT_TRUE(Settle(*w, 10'000));
  timer.stop();

  ASSERT_GE(escaped_at, 0);
  // The aim is 100 ms; the bound leaves room for a loaded machine, the
  // figure itself goes to the test report.
  RecordProperty("escape_in_stall_ms", static_cast<int>(ended_at - escaped_at));
  EXPECT_LT(ended_at - escaped_at, 300 * kSlower);
  EXPECT_GE(ticks, 10);
  EXPECT_LT(worst_gap, 200 * kSlower);
  EXPECT_EQ(Count("中断しました！！"), 1u);
  EXPECT_EQ(prompts.asked.back().caption, "中断");
  EXPECT_FALSE(w->Client().Connected());
  EXPECT_EQ(w->StatusText(), QStringLiteral("中断しました（接続を閉じました）"));
  EXPECT_TRUE(Ui(w).Button1->isEnabled());
  EXPECT_TRUE(w->IdleFlag());
  EXPECT_EQ(server.Join(), "");
}

// Escape ends whatever the worker waits for or works on, at once.
TEST_F(FtpWindowFieldTest, EscapeEndsTheCommandAtOnce) {
  struct Case {
    Fault fault;
    const char* scheme;
    const char* name;
    qint64 bound_ms;
  };
  // The aim is 100 ms; on a shared machine (load 8 on 2 cores) these end
  // in 1-65 ms, so the bound leaves room and the figures go to the test
  // report.
  for (const Case c :
       {Case{Fault::kSilentTlsHandshake, "ftpes://", "escape_in_tls_handshake_ms", 300},
        Case{Fault::kMillionEntries, "", "escape_in_million_listing_ms", 300}}) {
    SCOPED_TRACE(c.name);
    std::atomic<bool> reached{false};
    ScriptedServer server([&](ScriptSession& s) { Serve(s, c.fault, &reached); });
    auto w = Open(server.port(), nullptr, c.scheme);
    prompts.asked.clear();
    prompts.answers.push_back(Answer::Ok);
    QElapsedTimer clock;
    clock.start();
    qint64 ended_at = -1;
    QObject::connect(w.get(), &TFtp1::commandFinished, [&] { ended_at = clock.elapsed(); });
    w->Button1Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reached.load(); }, 20'000));
    ASSERT_TRUE(w->ClientBusy());
    const qint64 escaped_at = clock.elapsed();
    QTest::keyClick(Ui(w).ListView1, Qt::Key_Escape);
    ASSERT_TRUE(Settle(*w, 20'000));
    RecordProperty(c.name, static_cast<int>(ended_at - escaped_at));
    EXPECT_LT(ended_at - escaped_at, c.bound_ms * kSlower);
    EXPECT_EQ(Count("中断しました！！"), 1u);
    EXPECT_TRUE(Ui(w).Button1->isEnabled() || Ui(w).Button2->isEnabled());
    w.reset();
    EXPECT_EQ(server.Join(), "");
  }
}

// A million entries list, and sort on a header click, while the window
// goes on answering, and stay within the listing caps.
TEST_F(FtpWindowFieldTest, MillionEntryListingKeepsTheWindowAnswering) {
  ScriptedServer server([](ScriptSession& s) { Serve(s, Fault::kMillionEntries); });
  auto w = Open(server.port());
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, worst_gap = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    worst_gap = std::max(worst_gap, clock.elapsed() - last);
    last = clock.elapsed();
  });
  timer.start(5);
  w->Button1Click();
  ASSERT_TRUE(Settle(*w, 60'000));
  timer.stop();
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  ASSERT_EQ(RemoteCount(Ui(w).ListView1), kMillion);
  EXPECT_EQ(RemoteCell(Ui(w).ListView1, kMillion - 1, 0), QStringLiteral("file0999999.htm"));
  // File i is i bytes long. Two clicks on the size header (the second
  // turns the first's sort round before it ends), then one on the names.
  auto* model = qobject_cast<transfer_ui::RemoteListModel*>(Ui(w).ListView1->model());
  ASSERT_NE(model, nullptr);
  const qint64 listing_gap = worst_gap;
  worst_gap = 0;
  last = clock.elapsed();
  timer.start(5);
  // Sorted, and the timer has run since the click returned.
  auto sorted = [&] {
    const qint64 clicked = clock.elapsed();
    return QTest::qWaitFor([&] { return !model->Sorting() && last > clicked; }, 60'000);
  };
  w->ColumnClick(Ui(w).ListView1, 2);
  w->ColumnClick(Ui(w).ListView1, 2);
  ASSERT_TRUE(sorted());
  int out_of_place = 0;
  for (int row = 0; row < kMillion; ++row)
    out_of_place += model->Entry(row).Size != kMillion - 1 - row;
  EXPECT_EQ(out_of_place, 0);
  w->ColumnClick(Ui(w).ListView1, 0);
  ASSERT_TRUE(sorted());
  timer.stop();
  char name[32];
  for (int row = 0; row < kMillion; ++row) {
    std::snprintf(name, sizeof name, "file%07d.htm", row);
    out_of_place += model->Entry(row).FileName != name;
  }
  EXPECT_EQ(out_of_place, 0);
  RecordProperty("listing_gap_ms", static_cast<int>(listing_gap));
  RecordProperty("sorting_gap_ms", static_cast<int>(worst_gap));
#if !defined(__SANITIZE_THREAD__)
  // 50 on an idle machine; this one is shared. Under ThreadSanitizer the
  // window's own code runs about 25 times slower (1.25 s on an idle
  // machine, 3.4 s seen under load), so there the gaps say nothing about
  // the window and only the rows are checked.
  EXPECT_LT(listing_gap, 250 * kSlower);
  EXPECT_LT(worst_gap, 250 * kSlower) << "while sorting";
#endif
  w.reset();
  EXPECT_EQ(server.Join(), "");
}

// A modal dialog of the editor (開く, the builder) runs its own event loop;
// the transfer goes on under it.
TEST_F(FtpWindowFieldTest, ModalDialogDuringATransferDoesNotStopIt) {
  ScriptedServer server([](ScriptSession& s) { Serve(s, Fault::kSlowDownload); });
  auto w = Open(server.port());
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(SelectRemote(*w, "big.bin"));
  QDialog modal;
  bool ended_under_dialog = false;
  QObject::connect(w.get(), &TFtp1::commandFinished, &modal, [&] {
    ended_under_dialog = modal.isVisible();
    modal.accept();
  });
  QTimer::singleShot(20'000, &modal, &QDialog::reject);  // the test's own bound
  emit w->downloadSelectedRequested();
  modal.exec();
  EXPECT_TRUE(ended_under_dialog);
  EXPECT_EQ(fs::file_size(local.path() / "big.bin"), kSlowChunks * kSlowChunk);
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  EXPECT_EQ(w->StatusText(), QStringLiteral("完了"));
  w->Button2Click();
}

// Closing the frame while a file travels stops the transfer, waits for the
// worker and closes: no message on the way out, nothing left running.
TEST_F(FtpWindowFieldTest, ClosingTheFrameDuringATransferEndsCleanly) {
  std::atomic<bool> sending{false};
  ScriptedServer server([&](ScriptSession& s) { Serve(s, Fault::kSlowDownload, &sending); });
  auto w = Open(server.port());
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(SelectRemote(*w, "big.bin"));
  QWidget frame;
  w->GuardCloseOf(&frame);
  frame.show();
  emit w->downloadSelectedRequested();
  ASSERT_TRUE(QTest::qWaitFor([&] { return sending.load(); }, 20'000));
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(frame.close());
  EXPECT_LT(clock.elapsed(), 1000 * kSlower);
  EXPECT_FALSE(w->ClientBusy());
  EXPECT_TRUE(w->IdleFlag());
  EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
  w.reset();
  EXPECT_EQ(server.Join(), "");
}

// The permission dialog waits on SITE over the window: Escape there stops
// the wait too, and the stop is said once, not also as an error.
TEST_F(FtpWindowFieldTest, EscapeInThePermissionDialogStopsItsWait) {
  std::atomic<bool> waiting{false};
  ScriptedServer server([&](ScriptSession& s) { Serve(s, Fault::kSilentOnSite, &waiting); });
  transfer::TFtp2 dialog;
  auto w = Open(server.port(), &dialog);
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(w->Client().Connected());
  ASSERT_TRUE(SelectRemote(*w, "sub"));
  prompts.asked.clear();
  prompts.answers = {Answer::Ok};
  QElapsedTimer clock;
  qint64 escaped_at = -1;
  // Once the dialog shows: 変更, and once the server holds SITE: Escape.
  QTimer poll, escape;
  poll.callOnTimeout([&] {
    if (!dialog.isVisible()) return;
    poll.stop();
    Ui(dialog).Edit1->setText("755");
    escape.start(5);
    dialog.Button1Click();  // the worker waits on the silent server
  });
  escape.callOnTimeout([&] {
    if (!waiting) return;
    escape.stop();
    escaped_at = clock.elapsed();
    QTest::keyClick(Ui(dialog).Edit1, Qt::Key_Escape);
  });
  poll.start(5);
  clock.start();
  emit w->permissionRequested();
  ASSERT_TRUE(Settle(*w, 10'000));
  ASSERT_GE(escaped_at, 0);
  EXPECT_LT(clock.elapsed() - escaped_at, 1000 * kSlower);
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_EQ(prompts.asked.size(), 1u) << prompts.asked.back().text;
  EXPECT_EQ(prompts.asked[0].text, "中断しました！！");
  EXPECT_TRUE(Ui(w).Button1->isEnabled());
  EXPECT_EQ(server.Join(), "");
}

// A dropped connection, found while connecting, by the next command or in
// the middle of an operation, is said once and plainly; nothing reports
// success or refusal.
TEST_F(FtpWindowFieldTest, LostConnectionIsSaidOnceAndLeavesTheWindowDisconnected) {
  struct Case {
    Fault fault;
    const char* name;
  };
  for (const Case c : {Case{Fault::kResetAfterFirstList, "idle, then a folder"},
                       Case{Fault::kResetOnStor, "during an upload"},
                       Case{Fault::kCloseAfterGreeting, "connecting: after the greeting"},
                       Case{Fault::kCloseAfterUser, "connecting: after USER"},
                       Case{Fault::kCloseDuringFirstList, "connecting: the first listing"}}) {
    SCOPED_TRACE(c.name);
    prompts.asked.clear();
    std::ofstream(local.path() / "a.htm") << "a";
    ScriptedServer server([&](ScriptSession& s) { Serve(s, c.fault); });
    auto w = Open(server.port());
    w->Button1Click();
    ASSERT_TRUE(Settle(*w));
    if (c.fault == Fault::kResetAfterFirstList || c.fault == Fault::kResetOnStor) {
      ASSERT_TRUE(w->Client().Connected())
          << (prompts.asked.empty() ? "" : prompts.asked.back().text);
      ASSERT_EQ(RemoteCount(Ui(w).ListView1), 1);
    }
    if (c.fault == Fault::kResetAfterFirstList) {
      ASSERT_TRUE(SelectRemote(*w, "sub"));
      w->ListView1DblClick();
      ASSERT_TRUE(Settle(*w));
    } else if (c.fault == Fault::kResetOnStor) {
      Ui(w).ListView2->topLevelItem(0)->setSelected(true);
      QTest::mouseClick(Ui(w).Button10, Qt::LeftButton);
      ASSERT_TRUE(Settle(*w));
    }
    EXPECT_EQ(Count(kLost), 1u);
    EXPECT_EQ(prompts.asked.size(), 1u) << prompts.asked.front().text;
    EXPECT_EQ(w->StatusText(), QString::fromStdString(kLost));
    EXPECT_EQ(RemoteCount(Ui(w).ListView1), 0);
    EXPECT_FALSE(w->Client().Connected());
    EXPECT_TRUE(Ui(w).Button1->isEnabled());
    EXPECT_FALSE(Ui(w).Button2->isEnabled());
    EXPECT_TRUE(Ui(w).Edit1->isEnabled());
    EXPECT_TRUE(w->IdleFlag());
    EXPECT_EQ(server.Join(), "");
  }
}

// A folder entered but not listable: the rows of the folder left behind
// must not stay to be downloaded or deleted by name in the new one.
TEST_F(FtpWindowFieldTest, RefusedListingLeavesNoRowsOfTheFolderBefore) {
  ScriptedServer server([&](ScriptSession& s) { Serve(s, Fault::kListRefusedInSub); });
  auto w = Open(server.port());
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_EQ(RemoteCount(Ui(w).ListView1), 1);
  ASSERT_TRUE(SelectRemote(*w, "sub"));
  w->ListView1DblClick();
  ASSERT_TRUE(Settle(*w));
  ASSERT_EQ(prompts.asked.size(), 1u);
  EXPECT_EQ(prompts.asked[0].kind, "error");
  EXPECT_TRUE(w->Client().Connected());
  EXPECT_EQ(RemoteCount(Ui(w).ListView1), 0);
  w.reset();
  EXPECT_EQ(server.Join(), "");
}

// Names in UTF-8 from a server that never says so (automatic mode): shown
// as they are and downloaded, like those of a server in Shift-JIS.
TEST_F(FtpWindowFieldTest, UnannouncedUtf8NamesShowAndDownload) {
  const std::string page = "索引.htm";
  for (const std::string& wire : {page, std::string("\x8D\xF5\x88\xF8.htm")}) {
    SCOPED_TRACE(wire == page ? "UTF-8" : "Shift-JIS");
    prompts.asked.clear();
    ScriptedServer server([&](ScriptSession& s) {
      s.Send("220 ready\r\n");
      std::string port;
      for (std::string c = s.ReadCommand(); !c.empty(); c = s.ReadCommand()) {
        const std::string verb = c.substr(0, c.find(' '));
        if (verb == "USER") {
          s.Send("331 password\r\n");
        } else if (verb == "PASS") {
          s.Send("230 in\r\n");
        } else if (verb == "PWD") {
          s.Send("257 \"/\"\r\n");
        } else if (verb == "PORT") {
          port = c;
          s.Send("200 ok\r\n");
        } else if (verb == "LIST" || c == "RETR " + wire) {
          s.Send("150 here\r\n");
          const int fd = s.ConnectData(port);
          ScriptSession::SendAll(
              fd, verb == "LIST" ? "-rw-r--r-- 1 u g 4 Jan 01 2020 " + wire + "\r\n" : "page");
          ::close(fd);
          s.Send("226 done\r\n");
        } else {
          s.Send(verb == "TYPE" || verb == "SYST" ? "200 ok\r\n" : "502 no\r\n");
        }
      }
    });
    auto w = Open(server.port());
    w->Button1Click();
    ASSERT_TRUE(Settle(*w));
    ASSERT_EQ(RemoteCount(Ui(w).ListView1), 1);
    EXPECT_EQ(RemoteCell(Ui(w).ListView1, 0, 0), QString::fromStdString(page));
    ASSERT_TRUE(SelectRemote(*w, QString::fromStdString(page)));
    emit w->downloadSelectedRequested();
    ASSERT_TRUE(Settle(*w));
    EXPECT_TRUE(prompts.asked.empty()) << prompts.asked.front().text;
    std::ifstream in(local.path() / page);
    std::string got;
    std::getline(in, got);
    EXPECT_EQ(got, "page");
    fs::remove(local.path() / page);
    w->Client().Disconnect();
    EXPECT_EQ(server.Join(), "");
  }
}

// Behind a router nothing can connect back to the user: vsftpd with PORT
// refused stands for it. A five-field profile (automatic) and a passive one
// list; an active one cannot, and says so.
TEST_F(FtpWindowFieldTest, ProfileDataModeReachesTheClient) {
  auto server = ftp::testing::StartVsftpd("port_enable=NO\n");
  std::ofstream(server->files / "index.htm") << "i";
  struct Case {
    std::vector<std::string> fields;
    bool lists;
  };
  const std::string host = "127.0.0.1:" + std::to_string(server->port);
  for (const Case& c :
       {Case{{"auto", host, server->user, server->password, "/pub"}, true},
        Case{{"pasv", host, server->user, server->password, "/pub", "passive"}, true},
        Case{{"port", host, server->user, server->password, "/pub", "active"}, false}}) {
    SCOPED_TRACE(c.fields[0]);
    prompts.asked.clear();
    ASSERT_TRUE(transfer::WriteProfileFile(program.path(), {transfer::JoinCommaText(c.fields)}).ok);
    auto w = std::make_unique<TFtp1>(&prompts);
    w->Button1Click();
    ASSERT_TRUE(Settle(*w));
    EXPECT_TRUE(w->Client().Connected());
    EXPECT_EQ(RemoteCount(Ui(w).ListView1) == 1, c.lists);
    EXPECT_EQ(prompts.asked.empty(), c.lists);
    w->Button2Click();
  }
}

// A published folder holding dot files deletes completely on vsftpd, which
// hides them from a plain LIST.
TEST_F(FtpWindowFieldTest, FolderWithHtaccessDeletesCompletelyOnVsftpd) {
  auto server = ftp::testing::StartVsftpd();
  fs::create_directories(server->files / "site" / ".hidden");
  std::ofstream(server->files / "site" / ".htaccess") << "Options -Indexes\n";
  std::ofstream(server->files / "site" / ".hidden" / "x") << "x";
  std::ofstream(server->files / "site" / "index.htm") << "i";
  // Owned by the account vsftpd serves as, like anything it received.
  const fs::path pub = server->files;
  struct stat st {};
  ASSERT_EQ(::stat(pub.c_str(), &st), 0);
  for (const auto& e : fs::recursive_directory_iterator(pub / "site"))
    ASSERT_EQ(::lchown(e.path().c_str(), st.st_uid, st.st_gid), 0);
  ASSERT_EQ(::lchown((pub / "site").c_str(), st.st_uid, st.st_gid), 0);
  ASSERT_TRUE(transfer::WriteProfileFile(
                  program.path(),
                  {transfer::JoinCommaText({"vs", "127.0.0.1:" + std::to_string(server->port),
                                            server->user, server->password, "/pub"})})
                  .ok);
  auto w = std::make_unique<TFtp1>(&prompts);
  WireTransferOperations(*w, nullptr);
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  ASSERT_TRUE(w->Client().Connected()) << (prompts.asked.empty() ? "" : prompts.asked.back().text);
  ASSERT_TRUE(SelectRemote(*w, "site"));
  prompts.answers = {Answer::Yes};
  emit w->remoteDeleteRequested();
  ASSERT_TRUE(Settle(*w));
  EXPECT_FALSE(fs::exists(server->files / "site"));
  EXPECT_EQ(prompts.asked.size(), 1u) << prompts.asked.back().text;
  EXPECT_EQ(w->StatusText(), QStringLiteral("完了"));
  w->Button2Click();
}

// A VMS folder is the file WWW.DIR;1 to its server: the list shows WWW, a
// rename keeps the ".DIR;1" the server needs, and a double-click enters
// the folder by the name shown.
TEST_F(FtpWindowFieldTest, VmsFolderShowsItsNameAndRenamesAsItsFile) {
  std::vector<std::string> sent;  // read after Join
  ScriptedServer server([&](ScriptSession& s) {
    s.Send("220 ready\r\n");
    std::string port;
    for (std::string c = s.ReadCommand(); !c.empty(); c = s.ReadCommand()) {
      const std::string verb = c.substr(0, c.find(' '));
      if (verb == "RNFR" || verb == "RNTO" || verb == "CWD") sent.push_back(c);
      if (verb == "USER") {
        s.Send("331 password\r\n");
      } else if (verb == "PASS") {
        s.Send("230 in\r\n");
      } else if (verb == "PWD") {
        s.Send("257 \"DISK$USER:[WEB]\"\r\n");
      } else if (verb == "PORT") {
        port = c;
        s.Send("200 ok\r\n");
      } else if (verb == "LIST") {
        s.Send("150 here\r\n");
        const int fd = s.ConnectData(port);
        ScriptSession::SendAll(
            fd,
            "Directory DISK$USER:[WEB]\r\n\r\n"
            "WWW.DIR;1      1/3   2-FEB-2004 08:00:00.00  [WEB]  (RWE,RWE,RE,RE)\r\n"
            "INDEX.HTML;3  12/15 15-JAN-2003 10:30:45.00  [WEB]  (RWED,RWED,RE,RE)\r\n");
        ::close(fd);
        s.Send("226 done\r\n");
      } else if (verb == "RNFR") {
        s.Send("350 go on\r\n");
      } else if (verb == "RNTO" || verb == "CWD") {
        s.Send("250 ok\r\n");
      } else {
        s.Send(verb == "TYPE" || verb == "SYST" ? "200 ok\r\n" : "502 no\r\n");
      }
    }
  });
  auto w = Open(server.port());
  w->Button1Click();
  ASSERT_TRUE(Settle(*w));
  QTableView* list = Ui(w).ListView1;
  EXPECT_EQ(RemoteColumn(list, 0), QStringList({"WWW", "INDEX.HTML;3"}));
  const int row = RemoteRow(list, "WWW");
  ASSERT_GE(row, 0);
  w->BeginRename(row);
  EXPECT_FALSE(w->EndRename(row, QStringLiteral("WWW")));  // unchanged: nothing sent
  w->BeginRename(row);
  ASSERT_TRUE(w->EndRename(row, QStringLiteral("SITE")));
  ASSERT_TRUE(Settle(*w));
  EXPECT_EQ(RemoteCell(list, row, 0), QStringLiteral("SITE"));
  ASSERT_TRUE(SelectRemote(*w, "SITE"));
  EXPECT_EQ(w->SelectedRemoteRows().at(0).wire, "SITE.DIR;1");
  w->ListView1DblClick();
  ASSERT_TRUE(Settle(*w));
  w->Client().Disconnect();
  EXPECT_EQ(server.Join(), "");
  EXPECT_EQ(sent, (std::vector<std::string>{"RNFR WWW.DIR;1", "RNTO SITE.DIR;1", "CWD SITE"}));
}

}  // namespace
}  // namespace hemlo
