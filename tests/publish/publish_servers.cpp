#include "publish/publish_servers.h"

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace hemlo::publish::testing {

namespace ft = ftp::testing;

const char* SrvName(Srv s) {
  switch (s) {
    case Srv::kVsftpd:
      return "vsftpd";
    case Srv::kVsftpdPlus9:
      return "vsftpd_plus9h";
    case Srv::kVsftpdMinus5:
      return "vsftpd_minus5h";
    case Srv::kPy:
      return "pyftpdlib";
    case Srv::kPyPlus9:
      return "pyftpdlib_plus9h";
    case Srv::kPyMinus5:
      return "pyftpdlib_minus5h";
    case Srv::kPyLimit2:
      return "pyftpdlib_limit2";
    case Srv::kPyNoRenameOver:
      return "pyftpdlib_no_rename_over";
    case Srv::kPyCutting:
      return "pyftpdlib_cutting";
    case Srv::kPyFaulty:
      return "pyftpdlib_faulty";
    case Srv::kPyFaultyNoRenameOver:
      return "pyftpdlib_faulty_no_rename_over";
    case Srv::kPySlow:
      return "pyftpdlib_slow";
  }
  return "";
}

bool IsVsftpd(Srv s) {
  return s == Srv::kVsftpd || s == Srv::kVsftpdPlus9 || s == Srv::kVsftpdMinus5;
}

const char* SrvZone(Srv s) {
  switch (s) {
    case Srv::kVsftpdPlus9:
    case Srv::kPyPlus9:
      return "JST-9";
    case Srv::kVsftpdMinus5:
    case Srv::kPyMinus5:
      return "EST5";
    default:
      return "";
  }
}

namespace {

std::unique_ptr<ft::RealServer> StartPy(Srv s) {
  auto server = std::make_unique<ft::RealServer>();
  server->name = SrvName(s);
  server->temp = std::make_unique<ft::TempFolder>();
  const ft::fs::path base = server->temp->path();
  ft::fs::create_directories(base / "root");
  server->files = base / "root";
  server->remote_work = "/";
  server->user = "anonymous";
  server->password = "test@example.invalid";
  std::vector<std::string> argv = {"/usr/bin/python3", HEMLO_PUBLISH_TEST_DIR "/publish_ftpd.py",
                                   (base / "root").string()};
  if (*SrvZone(s)) argv.push_back("--local-times");
  if (s == Srv::kPyLimit2) {
    argv.push_back("--max-per-ip");
    argv.push_back("2");
  }
  if (s == Srv::kPyNoRenameOver || s == Srv::kPyFaultyNoRenameOver)
    argv.push_back("--no-rename-over");
  if (s == Srv::kPyFaulty || s == Srv::kPyFaultyNoRenameOver) argv.push_back("--content-faults");
  if (s == Srv::kPySlow) argv.push_back("--slow");
  if (s == Srv::kPyCutting) {
    argv.push_back("--cut-stor");
    argv.push_back("7");
  }
  {
    ZoneForSessions zone(s);
    server->process = std::make_unique<ft::ServerProcess>(argv, base / "pyftpdlib.log");
  }
  const std::string marker = "starting FTP server on 127.0.0.1:";
  for (int i = 0; i < 200 && server->process->Running(); ++i) {
    const std::string log = ft::ReadText(base / "pyftpdlib.log");
    const size_t at = log.find(marker);
    if (at != std::string::npos) {
      server->port = static_cast<uint16_t>(std::stoi(log.substr(at + marker.size())));
      for (int j = 0; j < 100; ++j) {
        if (ft::GreetsOn(server->port)) return server;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  throw std::runtime_error("pyftpdlib did not start: " + ft::ReadText(base / "pyftpdlib.log"));
}

}  // namespace

ft::RealServer& ServerOf(Srv s) {
  static std::mutex mutex;
  static std::map<Srv, std::unique_ptr<ft::RealServer>> servers;
  std::lock_guard lock(mutex);
  auto& slot = servers[s];
  if (!slot) {
    if (IsVsftpd(s))
      slot = ft::StartVsftpd(*SrvZone(s) ? "use_localtime=YES\n" : "");
    else
      slot = StartPy(s);
  }
  return *slot;
}

ZoneForSessions::ZoneForSessions(Srv s) {
  if (!*SrvZone(s)) return;
  ::setenv("TZ", SrvZone(s), 1);
  set_ = true;
}

ZoneForSessions::~ZoneForSessions() {
  if (set_) ::unsetenv("TZ");
}

}  // namespace hemlo::publish::testing
