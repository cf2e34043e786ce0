// A phone photo put into a page in the real frame.
#include <gtest/gtest.h>

#include <QAction>
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
#include <functional>

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

// Dropped on the page's text or picked through 挿入 > 画像, a phone photo
// takes the same way: the question, a clean small copy, an <img> with its size.
TEST(PhotoEndToEnd, AGpsPhotoDroppedOrPickedBecomesASmallCleanCopyAndAnImgWithItsSize) {
  QTemporaryDir site;
  const QString photo = site.filePath(QStringLiteral("phone.jpg"));
  QImage stored(2000, 1000, QImage::Format_RGB32);
  stored.fill(qRgb(90, 140, 200));
  const std::string original = photo::Jpeg(stored, 6);  // upright it is 1000 x 2000
  std::ofstream(photo.toStdString(), std::ios::binary) << original;
  const QString page = site.filePath(QStringLiteral("index.htm"));
  const std::string start = text::Sjis("<p>旅行</p>\r\n");
  std::ofstream(page.toStdString(), std::ios::binary) << start;

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

  int asked = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != QStringLiteral("PictureInsert")) return;
    ++asked;
    dialog->findChild<QLineEdit*>(QStringLiteral("alt"))->setText(QStringLiteral("海の写真"));
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  poll.start(20);
  prompts.inputs = {photo.toStdString(), std::nullopt};  // the two picks of 挿入 > 画像
  QAction* insert_picture = frame->findChild<QAction*>(QStringLiteral("mnuInsertClick_1"));
  ASSERT_NE(insert_picture, nullptr);

  struct Way {
    const char* name;
    const char* copy;
    std::function<void()> insert;
  };
  const Way ways[] = {
      {"drop", "images/phone.webp",
       [&] {
         QMimeData data;
         data.setUrls({QUrl::fromLocalFile(photo)});
         QWidget* viewport = child->Memo()->viewport();
         const QPoint at = viewport->rect().center();
         QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
         QApplication::sendEvent(viewport, &enter);  // a drop goes where the drag entered
         QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
         QApplication::sendEvent(viewport, &drop);
       }},
      {"挿入 > 画像", "images/phone-2.webp",
       [&] { insert_picture->trigger(); }},
  };
  std::string expected = start;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const int before = asked;
    way.insert();
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked == before + 1; }, 10000));
    expected += text::Sjis(std::string("<img src=\"") + way.copy +
                           "\" width=\"800\" height=\"1600\" alt=\"海の写真\">");
    EXPECT_TRUE(QTest::qWaitFor([&] { return child->Memo()->DocumentBytes() == expected; }, 5000))
        << child->Memo()->DocumentBytes();
    const std::string copy = Read(site.filePath(QString::fromUtf8(way.copy)));
    ASSERT_FALSE(copy.empty());
    EXPECT_LT(copy.size(), original.size());
    EXPECT_EQ(copy.find("Exif"), std::string::npos);
    EXPECT_EQ(copy.find(std::string("\x61\x1e\x00\x00", 4)), std::string::npos);  // GPS seconds
  }
  // No picture picked: 画像 inserts its fragment as it always has.
  insert_picture->trigger();
  expected += text::Sjis("<img src=\"画像ファイル名\" alt=\"この画像は○○です\">");
  EXPECT_EQ(child->Memo()->DocumentBytes(), expected);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Read(photo), original);
  child->Memo()->SetModified(false);
  frame->close();
}

}  // namespace
}  // namespace hemlo
