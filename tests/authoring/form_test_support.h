#pragma once
// Shared pieces of the builder dialog's GUI tests: a dialog over scripted
// prompts in a temporary program folder, and a way to act on a modal window
// once it is up without ever blocking the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "authoring/setting_form.h"
#include "base/program_folder.h"
#include "support/scripted_prompts.h"
#include "text/cp932.h"

namespace hemlo::authoring::testing {

inline std::string S(std::string_view utf8) { return text::Sjis(utf8); }

// Runs `act` on the first modal window that appears. If `act` leaves it open,
// or none appears within `timeout`, the test fails and the window (when one
// turns up later) is closed, so exec() always returns.
inline void WhenModal(std::function<void(QWidget*)> act,
                      std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  auto* poll = new QTimer(qApp);
  const auto started = std::chrono::steady_clock::now();
  auto late = std::make_shared<bool>(false);
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act, started, timeout, late] {
    QWidget* w = QApplication::activeModalWidget();
    if (w != nullptr && w->isVisible()) {
      poll->stop();
      poll->deleteLater();
      if (*late) {
        w->close();
        return;
      }
      act(w);
      if (QApplication::activeModalWidget() == w && w->isVisible()) {
        ADD_FAILURE() << "modal window left open by the test action";
        w->close();
      }
      return;
    }
    const auto waited = std::chrono::steady_clock::now() - started;
    if (!*late && waited > timeout) {
      ADD_FAILURE() << "no modal window appeared";
      *late = true;
    } else if (waited > 2 * timeout) {
      poll->stop();
      poll->deleteLater();
    }
  });
  poll->start();
}

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() /
              ("hemlo_builder_" + std::to_string(rd()) + "_" + std::to_string(rd()));
    std::filesystem::create_directories(folder_);
    SetProgramFolder(folder_);
    form_ = std::make_unique<TfrmSetting>(prompts_);
  }
  void TearDown() override {
    form_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  // A control of the dialog by its object name; a missing one fails the test.
  template <class W>
  W* c(const char* name) const {
    W* w = form_->findChild<W*>(QString::fromLatin1(name));
    if (w == nullptr) throw std::logic_error(std::string("no control ") + name);
    return w;
  }

  // The text of the last message or error box (UTF-8).
  std::string LastAsked(const char* kind) const {
    for (auto it = prompts_.asked.rbegin(); it != prompts_.asked.rend(); ++it)
      if (it->kind == kind) return it->text;
    return {};
  }

  ScriptedPrompts prompts_;
  std::filesystem::path folder_;
  std::unique_ptr<TfrmSetting> form_;
};

}  // namespace hemlo::authoring::testing
