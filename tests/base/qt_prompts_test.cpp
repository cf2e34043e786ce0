// The real dialogs behind Prompts, driven through the keyboard as a user would.
#include "base/qt_prompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <memory>

namespace hemlo {
namespace {

struct Watch {
  bool done = false;  // the wait is over
  bool seen = false;  // a dialog came and `act` ran
};

// Runs `act` on the first modal dialog of type T that appears within a few
// seconds (the caller's exec() is running by then).
template <typename T>
std::shared_ptr<Watch> WhenModal(std::function<void(T*)> act) {
  auto watch = std::make_shared<Watch>();
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [=] {
    auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
    if (w == nullptr && clock->elapsed() < 5000) return;
    timer->stop();
    timer->deleteLater();
    watch->done = true;
    watch->seen = w != nullptr;
    if (w) act(w);
  });
  timer->start(20);
  return watch;
}

void TypeAndAccept(QFileDialog* d, const QString& name) {
  auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  edit->setText(name);
  QTest::keyClick(edit, Qt::Key_Return);
}

FileDialogRequest Request(const QString& folder) {
  FileDialogRequest r;
  r.title = "t";
  r.default_suffix = "htm";
  r.initial_path = folder.toStdString();
  r.filters = {{"Html(*.htm;*.html)", "*.htm;*.html"}, {"すべてのファイル", "*.*"}};
  return r;
}

TEST(QtPrompts, EnterGivesTheDefaultButton) {
  struct Case {
    Buttons buttons;
    Answer default_button;
    Answer expected;
  };
  const Case cases[] = {{Buttons::YesNoCancel, Answer::No, Answer::No},
                        {Buttons::YesNoCancel, Answer::Yes, Answer::Yes},
                        {Buttons::YesNo, Answer::No, Answer::No},
                        {Buttons::OkCancel, Answer::No, Answer::Ok}};
  QtPrompts prompts;
  for (const Case& c : cases) {
    WhenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
    EXPECT_EQ(prompts.Message("確認", "q", c.buttons, Icon::None, c.default_button), c.expected)
        << static_cast<int>(c.buttons) << " " << static_cast<int>(c.default_button);
  }
}

TEST(QtPrompts, FileDialogsShowPlainLabelsOpenNamesWithoutDotsAndAskBeforeReplacing) {
  QTemporaryDir dir;
  std::ofstream((dir.path() + "/README").toStdString()) << "x";
  std::ofstream((dir.path() + "/old.htm").toStdString()) << "x";
  QtPrompts prompts;

  QStringList labels;
  WhenModal<QFileDialog>([&](QFileDialog* d) {
    auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    for (int i = 0; types && i < types->count(); ++i) labels << types->itemText(i);
    TypeAndAccept(d, QStringLiteral("README"));
  });
  EXPECT_EQ(prompts.OpenFile(Request(dir.path())), (dir.path() + "/README").toStdString());
  EXPECT_EQ(labels, QStringList({QStringLiteral("Html(*.htm;*.html)"),
                                 QStringLiteral("すべてのファイル")}));

  WhenModal<QFileDialog>([](QFileDialog* d) { TypeAndAccept(d, QStringLiteral("new")); });
  EXPECT_EQ(prompts.OpenFile(Request(dir.path())), (dir.path() + "/new.htm").toStdString());

  std::shared_ptr<Watch> question;
  WhenModal<QFileDialog>([&](QFileDialog* d) {
    question =
        WhenModal<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    TypeAndAccept(d, QStringLiteral("old.htm"));
  });
  EXPECT_EQ(prompts.SaveFile(Request(dir.path())), (dir.path() + "/old.htm").toStdString());
  ASSERT_TRUE(question);
  EXPECT_TRUE(QTest::qWaitFor([&] { return question->done; }, 6000));
  EXPECT_TRUE(question->seen);
}

// A password is typed into a masked field; Escape gives nothing at all.
TEST(QtPrompts, PasswordIsTypedMaskedAndEscapeGivesNothing) {
  struct Case {
    QString typed;
    Qt::Key key;
    std::optional<std::string> expected;
  } const cases[] = {{QStringLiteral("pa55 word"), Qt::Key_Return, "pa55 word"},
                     {QStringLiteral("secret"), Qt::Key_Escape, std::nullopt}};
  QtPrompts prompts;
  for (const Case& c : cases) {
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    WhenModal<QInputDialog>([&](QInputDialog* d) {
      auto* edit = d->findChild<QLineEdit*>();
      ASSERT_NE(edit, nullptr);
      echo = edit->echoMode();
      QTest::keyClicks(edit, c.typed);
      QTest::keyClick(edit, c.key);
    });
    EXPECT_EQ(prompts.Password("パスワード", "ユーザー「u」のパスワード"), c.expected);
    EXPECT_EQ(echo, QLineEdit::Password);
  }
}

}  // namespace
}  // namespace hemlo
