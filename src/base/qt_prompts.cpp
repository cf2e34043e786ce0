#include "base/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace hemlo {
namespace {

QString FromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QString FilterString(const std::vector<FileFilter>& filters) {
  QStringList parts;
  for (const auto& f : filters) {
    QString patterns = FromUtf8(f.patterns);
    patterns.replace(';', ' ');
    parts << FromUtf8(f.label) + " (" + patterns + ")";
  }
  return parts.join(";;");
}

QMessageBox::Icon ToQt(Icon icon) {
  switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

Answer QtPrompts::Message(const std::string& caption, const std::string& text, Buttons buttons,
                          Icon icon) {
  QMessageBox box(ToQt(icon), FromUtf8(caption), FromUtf8(text), QMessageBox::NoButton, parent_);
  // Japanese button texts whatever translations are installed.
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  switch (buttons) {
    case Buttons::Ok: ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole); break;
    case Buttons::OkCancel:
      ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
      cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
      break;
    case Buttons::YesNo:
      yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
      no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
      break;
    case Buttons::YesCancel:
      yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
      cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
      break;
    case Buttons::YesNoCancel:
      yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
      no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
      cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
      break;
  }
  box.setDefaultButton(yes ? yes : ok);
  if (cancel) box.setEscapeButton(cancel);
  else if (no) box.setEscapeButton(no);
  else box.setEscapeButton(ok);
  box.exec();
  auto* clicked = box.clickedButton();
  if (clicked == yes && yes) return Answer::Yes;
  if (clicked == no && no) return Answer::No;
  if (clicked == ok && ok) return Answer::Ok;
  if (buttons == Buttons::YesNo) return Answer::No;
  return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

void QtPrompts::Error(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), FromUtf8(text),
                  QMessageBox::NoButton, parent_);
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

std::optional<std::string> QtPrompts::Input(const std::string& caption, const std::string& prompt,
                                            const std::string& initial) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(FromUtf8(caption));
  dialog.setLabelText(FromUtf8(prompt));
  dialog.setTextValue(FromUtf8(initial));
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("キャンセル"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

std::optional<std::string> QtPrompts::OpenFile(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, FromUtf8(request.title), FromUtf8(request.initial_path), FilterString(request.filters));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // a new name opens an empty window
  dialog.setDefaultSuffix(FromUtf8(request.default_suffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtPrompts::SaveFile(const FileDialogRequest& request) {
  QFileDialog dialog(parent_, FromUtf8(request.title), FromUtf8(request.initial_path), FilterString(request.filters));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setDefaultSuffix(FromUtf8(request.default_suffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

void QtPrompts::ProcessEvents() { QCoreApplication::processEvents(); }

}  // namespace hemlo
