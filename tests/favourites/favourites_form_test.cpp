#include "favourites/favourites_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "favourites/favourites_fixture.h"
#include "text/cp932.h"
#include "support/scripted_prompts.h"

namespace hemlo::favourites {
namespace {

namespace fs = std::filesystem;

struct FakeHost : FavouritesHost {
  bool has_document = true;
  std::string url = "https://example.jp/page.html";
  std::string title = "Example";
  std::vector<std::string> opened;
  bool HasDocumentWindow() const override { return has_document; }
  std::string ActivePageUrl() const override { return has_document ? url : ""; }
  std::string ActivePageTitle() const override { return has_document ? title : ""; }
  void OpenUrl(const std::string& u) override { opened.push_back(u); }
  void ShowStatus(const std::string& text) override { status.push_back(text); }
  std::vector<std::string> status;
};

// The window's controls, found by their object names.
struct FavouritesControls {
  explicit FavouritesControls(const TForm4& form)
      : TreeView1(form.findChild<QTreeWidget*>("TreeView1")),
        Button1(form.findChild<QPushButton*>("Button1")),
        Button2(form.findChild<QPushButton*>("Button2")),
        Add1(form.findChild<QAction*>("Add1")),
        Add2(form.findChild<QAction*>("Add2")),
        Delete1(form.findChild<QAction*>("Delete1")) {}
  QTreeWidget* TreeView1;
  QPushButton *Button1, *Button2;
  QAction *Add1, *Add2, *Delete1;
};
FavouritesControls Ui(const TForm4& form) { return FavouritesControls(form); }

class FavouritesFormTest : public FavouritesFolderTest {
 protected:
  QStringList TopLevelTexts(const TForm4& form) const {
    QStringList out;
    for (int i = 0; i < Ui(form).TreeView1->topLevelItemCount(); ++i)
      out << Ui(form).TreeView1->topLevelItem(i)->text(0);
    return out;
  }
  QWidget frame_;
  FakeHost host_;
  ScriptedPrompts prompts_;
};

TEST_F(FavouritesFormTest, FirstOpeningWithoutAFileShowsOneCategoryAndCloseWritesIt) {
  TForm4 form(&frame_, host_, prompts_);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("お気に入り一覧"));
  EXPECT_EQ(form.size(), QSize(359, 276));
  // The real modal loop: close it with 閉じる once it runs.
  int top_levels = -1, entries = -1;
  QTimer::singleShot(0, &form, [&] {
    top_levels = Ui(form).TreeView1->topLevelItemCount();
    entries = top_levels > 0 ? Ui(form).TreeView1->topLevelItem(0)->childCount() : -1;
    Ui(form).Button2->click();
  });
  form.mnuFavoriteClick();
  EXPECT_EQ(top_levels, 1);
  EXPECT_EQ(entries, 4);
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.Records().empty());  // released once the window has closed
  EXPECT_EQ(SplitLines(FileBytes()).size(), 4u);
}

TEST_F(FavouritesFormTest, EntryAddedUnderACategoryIsWrittenInSortedPosition) {
  WriteFile(
      "\"docs\",\"A\",\"http://a/\"\r\n\"docs\",\"Z\",\"http://z/\"\r\n"
      "\"zoo\",\"Q\",\"http://q/\"\r\n");
  TForm4 form(&frame_, host_, prompts_);
  form.BuildTree();
  form.show();
  Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(0));
  host_.title = "Middle";
  host_.url = "http://m/";
  Ui(form).Add2->trigger();
  EXPECT_EQ(Ui(form).TreeView1->topLevelItem(0)->childCount(), 3);
  Ui(form).Button2->click();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(FileBytes(),
            "\"docs\",\"A\",\"http://a/\"\r\n\"docs\",\"Middle\",\"http://m/\"\r\n"
            "\"docs\",\"Z\",\"http://z/\"\r\n\"zoo\",\"Q\",\"http://q/\"\r\n");
}

TEST_F(FavouritesFormTest, NewCategoryGoesBeforeTheSelectionUnlessItExistsInAnyCase) {
  WriteFile("\"News\",\"N\",\"http://n/\"\r\n\"Web\",\"W\",\"http://w/\"\r\n");
  TForm4 form(&frame_, host_, prompts_);
  form.BuildTree();
  form.show();
  Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(1));
  prompts_.inputs = {std::string("NEWS"), std::string("Blogs"), std::nullopt};
  Ui(form).Add1->trigger();  // "NEWS" exists as "News": refused silently
  EXPECT_EQ(TopLevelTexts(form), (QStringList{"News", "Web"}));
  Ui(form).Add1->trigger();
  EXPECT_EQ(TopLevelTexts(form), (QStringList{"News", "Blogs", "Web"}));
  ASSERT_EQ(Ui(form).TreeView1->topLevelItem(1)->childCount(), 1);
  EXPECT_EQ(Ui(form).TreeView1->topLevelItem(1)->child(0)->text(0), QStringLiteral("Example"));
  Ui(form).Add1->trigger();  // cancelled
  EXPECT_EQ(Ui(form).TreeView1->topLevelItemCount(), 3);
  EXPECT_EQ(prompts_.asked.size(), 3u);
  EXPECT_EQ(prompts_.asked[0].caption, "分類の追加");

  host_.has_document = false;  // no page to start the category with: nothing asked
  Ui(form).Add1->trigger();
  EXPECT_EQ(prompts_.asked.size(), 3u);
  Ui(form).Button2->click();
}

TEST_F(FavouritesFormTest, TitleWithADoubleQuoteSurvivesSaveAndReload) {
  host_.title = "He said \"はい\", then left";
  {
    TForm4 form(&frame_, host_, prompts_);
    form.BuildTree();
    form.show();
    Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(0));
    Ui(form).Add2->trigger();
    Ui(form).Button2->click();
  }
  TForm4 again(&frame_, host_, prompts_);
  again.BuildTree();
  bool found = false;
  for (int i = 0; i < Ui(again).TreeView1->topLevelItemCount(); ++i) {
    const auto* node = Ui(again).TreeView1->topLevelItem(i);
    for (int j = 0; j < node->childCount(); ++j)
      found |= node->child(j)->text(0) == QString::fromUtf8(host_.title.c_str());
  }
  EXPECT_TRUE(found);
  again.ReleaseRecords();
}

TEST_F(FavouritesFormTest, TitlesAreStoredInShiftJisWithWhatItLacksReplaced) {
  TForm4 form(&frame_, host_, prompts_);
  form.BuildTree();
  form.show();
  Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(0));
  struct Case {
    std::string title, url;
    std::string title_bytes, url_bytes;
    bool noted;
  };
  const Case cases[] = {
      // "日本" + U+301C WAVE DASH, which CP932 holds as its twin U+FF5E.
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE3\x80\x9C", "https://example.jp/",
       text::Sjis("日本") + "\x81\x60", "https://example.jp/", false},
      {"Le caf\xC3\xA9 \xC2\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80",
       "https://example.jp/caf\xC3\xA9/\xE6\x97\xA5", "Le caf? ? ? ?",
       "https://example.jp/caf%C3%A9/" + text::Sjis("日"), true},
  };
  for (const Case& c : cases) {
    host_.title = c.title;
    host_.url = c.url;
    host_.status.clear();
    Ui(form).Add2->trigger();
    EXPECT_EQ(host_.status.size(), c.noted ? 1u : 0u) << c.title;
  }
  EXPECT_TRUE(prompts_.asked.empty());
  Ui(form).Button2->click();
  for (const Case& c : cases)
    EXPECT_NE(FileBytes().find(FormatRow(text::Sjis("おすすめ"), c.title_bytes, c.url_bytes)),
              std::string::npos)
        << FileBytes();
  EXPECT_EQ(SplitLines(FileBytes()).size(), 6u);
}

TEST_F(FavouritesFormTest, TitleBarCloseDiscardsADeletion) {
  WriteFile("\"c\",\"keep me\",\"http://k/\"\r\n");
  const std::string before = FileBytes();
  TForm4 form(&frame_, host_, prompts_);
  form.BuildTree();
  form.show();
  auto* entry = Ui(form).TreeView1->topLevelItem(0)->child(0);
  Ui(form).TreeView1->setCurrentItem(entry);
  prompts_.answers = {Answer::Yes};
  Ui(form).Delete1->trigger();
  EXPECT_EQ(prompts_.asked.at(0).text, "『keep me』を削除しますか");
  EXPECT_EQ(Ui(form).TreeView1->topLevelItem(0)->childCount(), 0);
  form.close();  // the title-bar box
  EXPECT_FALSE(form.isVisible());
  form.ReleaseRecords();
  EXPECT_EQ(FileBytes(), before);
  form.BuildTree();
  ASSERT_EQ(Ui(form).TreeView1->topLevelItemCount(), 1);
  EXPECT_EQ(Ui(form).TreeView1->topLevelItem(0)->childCount(), 1);
  form.ReleaseRecords();
}

TEST_F(FavouritesFormTest, DeletedCategoryLeavesTheFileWhenEscapeSaves) {
  WriteFile(
      "\"gone\",\"1\",\"http://1/\"\r\n\"gone\",\"2\",\"http://2/\"\r\n"
      "\"kept\",\"3\",\"http://3/\"\r\n");
  TForm4 form(&frame_, host_, prompts_);
  form.BuildTree();
  form.show();
  Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(0));
  prompts_.answers = {Answer::No, Answer::Yes};
  Ui(form).Delete1->trigger();  // No keeps it
  EXPECT_EQ(Ui(form).TreeView1->topLevelItemCount(), 2);
  Ui(form).Delete1->trigger();
  EXPECT_EQ(Ui(form).TreeView1->topLevelItemCount(), 1);
  EXPECT_EQ(prompts_.asked.at(1).icon, Icon::Warning);
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(FileBytes(), "\"kept\",\"3\",\"http://3/\"\r\n");
  form.ReleaseRecords();
}

TEST_F(FavouritesFormTest, ShowButtonOpensTheEntryAndSaves) {
  WriteFile("\"c\",\"site\",\"http://site.example/\"\r\n");
  TForm4 form(&frame_, host_, prompts_);
  form.BuildTree();
  form.show();
  Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(0));
  Ui(form).Button1->click();  // a category: nothing
  EXPECT_TRUE(host_.opened.empty());
  EXPECT_TRUE(form.isVisible());
  Ui(form).TreeView1->setCurrentItem(Ui(form).TreeView1->topLevelItem(0)->child(0));
  Ui(form).Button1->click();
  EXPECT_EQ(host_.opened, (std::vector<std::string>{"http://site.example/"}));
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(FileBytes(), "\"c\",\"site\",\"http://site.example/\"\r\n");
  form.ReleaseRecords();
}

}  // namespace
}  // namespace hemlo::favourites
