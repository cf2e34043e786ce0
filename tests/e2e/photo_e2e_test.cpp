// A phone photo dropped on a page's text in the real frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <fstream>

#include "app/startup.h"
#include "base/program_folder.h"
#include "photo/exif_sample.h"
#include "shell/desktop_open.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "support/scripted_prompts.h"
#include "text/cp932.h"

namespace hemlo {
namespace {

std::string Read(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PhotoEndToEnd, ADroppedGpsPhotoBecomesASmallCleanCopyAndAnImgWithItsSize) {
  QTemporaryDir site;
  const QString photo = site.filePath(QStringLiteral("phone.jpg"));
  QImage stored(2000, 1000, QImage::Format_RGB32);
  stored.fill(qRgb(90, 140, 200));
  const std::string original = photo::Jpeg(stored, 6);  // upright it is 1000 x 2000
  std::ofstream(photo.toStdString(), std::ios::binary) << original;
  const QString page = site.filePath(QStringLiteral("index.htm"));
  std::ofstream(page.toStdString(), std::ios::binary) << text::Sjis("<p>旅行</p>\r\n");

  PrepareApplication(*qApp);
  SetProgramFolder(site.path().toStdString());
  ScriptedPrompts prompts;
  std::unique_ptr<TMainForm> frame(CreateForms().MainForm);
  frame->SetPrompts(&prompts);
  new FileDrops(*frame);
  frame->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  ASSERT_TRUE(frame->action(FrameCommand::WebPhotos)->isChecked());  // on for a new user
  TMDIChild* child = frame->OpenDocument(page);
  child->Memo()->moveCursor(QTextCursor::End);

  bool asked = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != QStringLiteral("PictureInsert")) return;
    poll.stop();
    asked = true;
    dialog->findChild<QLineEdit*>(QStringLiteral("alt"))->setText(QStringLiteral("海の写真"));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  poll.start(20);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(photo)});
  QWidget* viewport = child->Memo()->viewport();
  const QPoint at = viewport->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);  // a drop goes where the drag entered
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  ASSERT_TRUE(QTest::qWaitFor([&] { return asked; }, 10000));

  const std::string tag = text::Sjis(
      "<img src=\"images/phone.webp\" width=\"800\" height=\"1600\" alt=\"海の写真\">");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return child->Memo()->DocumentBytes() == text::Sjis("<p>旅行</p>\r\n") + tag; }, 5000))
      << child->Memo()->DocumentBytes();
  const std::string copy = Read(site.filePath(QStringLiteral("images/phone.webp")));
  ASSERT_FALSE(copy.empty());
  EXPECT_LT(copy.size(), original.size());
  EXPECT_EQ(copy.find("Exif"), std::string::npos);
  EXPECT_EQ(copy.find(std::string("\x61\x1e\x00\x00", 4)), std::string::npos);  // the GPS seconds
  EXPECT_EQ(Read(photo), original);
  EXPECT_TRUE(prompts.asked.empty());
  child->Memo()->SetModified(false);
  frame->close();
}

}  // namespace
}  // namespace hemlo
