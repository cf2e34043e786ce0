#include "base/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <memory>

namespace hemlo {
namespace {

QString FromUtf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Qt reads a filter's patterns from the parentheses at its end, space
// separated; the dialog is told to show the labels alone, since most of ours
// name their patterns already. "*.*" means every file, also those without a dot.
QStringList NameFilters(const std::vector<FileFilter>& filters) {
  QStringList out;
  for (const auto& f : filters) {
    QStringList patterns = FromUtf8(f.patterns).split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns)
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    out << FromUtf8(f.label) + " (" + patterns.join(' ') + ")";
  }
  return out;
}

std::unique_ptr<QFileDialog> FileDialog(QWidget* parent, const FileDialogRequest& request) {
  auto dialog = std::make_unique<QFileDialog>(parent, FromUtf8(request.title),
                                              FromUtf8(request.initial_path));
  dialog->setOption(QFileDialog::HideNameFilterDetails, true);
  dialog->setNameFilters(NameFilters(request.filters));
  return dialog;
}

QMessageBox::Icon ToQt(Icon icon) {
  switch (icon) {
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Warning:
      return QMessageBox::Warning;
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

Answer QtPrompts::Message(const std::string& caption, const std::string& text, Buttons buttons,
                          Icon icon, Answer default_button) {
  QMessageBox box(ToQt(icon), FromUtf8(caption), FromUtf8(text), QMessageBox::NoButton, parent_);
  // Japanese button texts whatever translations are installed.
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  QPushButton* save = nullptr;
  switch (buttons) {
    case Buttons::Ok:
      ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
      break;
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
    case Buttons::YesSaveCancel:
      yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
      save = box.addButton(QStringLiteral("保存(&S)"), QMessageBox::AcceptRole);
      cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
      break;
  }
  QPushButton* preferred = default_button == Answer::No       ? no
                           : default_button == Answer::Cancel ? cancel
                           : default_button == Answer::Save   ? save
                                                              : nullptr;
  box.setDefaultButton(preferred ? preferred : yes ? yes : ok);
  if (cancel)
    box.setEscapeButton(cancel);
  else if (no)
    box.setEscapeButton(no);
  else
    box.setEscapeButton(ok);
  box.exec();
  auto* clicked = box.clickedButton();
  if (clicked == yes && yes) return Answer::Yes;
  if (clicked == no && no) return Answer::No;
  if (clicked == save && save) return Answer::Save;
  if (clicked == ok && ok) return Answer::Ok;
  if (buttons == Buttons::YesNo) return Answer::No;
  return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

void QtPrompts::Error(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kProgramTitle), FromUtf8(text),
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

std::optional<std::string> QtPrompts::Password(const std::string& caption,
                                               const std::string& prompt) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(FromUtf8(caption));
  dialog.setLabelText(FromUtf8(prompt));
  dialog.setTextEchoMode(QLineEdit::Password);
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("キャンセル"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

std::optional<std::string> QtPrompts::OpenFile(const FileDialogRequest& request) {
  auto dialog = FileDialog(parent_, request);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::AnyFile);  // a new name opens an empty window
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  // The default suffix goes only onto a new name without a dot: an existing
  // file is opened by the name typed, extension or not.
  QString file = dialog->selectedFiles().first();
  const QFileInfo info(file);
  if (!info.exists() && !request.default_suffix.empty() && !info.fileName().contains('.'))
    file += '.' + FromUtf8(request.default_suffix);
  return file.toStdString();
}

std::optional<std::string> QtPrompts::SaveFile(const FileDialogRequest& request) {
  auto dialog = FileDialog(parent_, request);
  dialog->setAcceptMode(QFileDialog::AcceptSave);  // asks before replacing a file
  dialog->setDefaultSuffix(FromUtf8(request.default_suffix));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return dialog->selectedFiles().first().toStdString();
}

void QtPrompts::ProcessEvents() { QCoreApplication::processEvents(); }

}  // namespace hemlo
