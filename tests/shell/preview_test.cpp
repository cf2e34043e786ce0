#include "shell/preview.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/atomic_file.h"
#include "base/program_folder.h"
#include "text/cp932.h"
#include "text/memory_edit_pane.h"
#include "support/scripted_prompts.h"

namespace hemlo::shell {
namespace {

namespace fs = std::filesystem;

// Just enough of an edit pane for the preview: text and modified flag.
// The in-memory pane, modified as a page being edited is.
struct FakePane : text::MemoryEditPane {
  explicit FakePane(std::string t) : MemoryEditPane(t) { SetModified(true); }
};

std::string Slurp(const fs::path& p) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(p, bytes)) << p;
  return bytes;
}

std::string PercentDecode(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0) {
      out.push_back(static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

TEST(MakePreviewPath, FolderNameAndBakHtm) {
  PreviewState s;
  MakePreviewPath(s, "/web/top.htm");
  EXPECT_EQ(s.PreviewFolder, "/web/");
  EXPECT_EQ(s.PreviewPath, "/web/topbak.htm");
  EXPECT_EQ(FileUrlForPath(s.PreviewPath), "file:///web/topbak.htm");

  MakePreviewPath(s, "/web/README");  // no extension: the whole name is the base
  EXPECT_EQ(s.PreviewPath, "/web/READMEbak.htm");
  MakePreviewPath(s, "/web.d/top");  // a dot in the folder is not an extension
  EXPECT_EQ(s.PreviewPath, "/web.d/topbak.htm");
  MakePreviewPath(s, "/web/a.b.html");  // only the last extension goes
  EXPECT_EQ(s.PreviewPath, "/web/a.bbak.htm");

  PreviewState html;
  MakePreviewPath(html, "/web/top.html");
  MakePreviewPath(s, "/web/top.htm");
  EXPECT_EQ(html.PreviewPath, s.PreviewPath);  // two extensions share one preview file
}

TEST(ReplaceSeparators, TrailByte5CIsNotASeparator) {
  // "C:\ソフト\表.htm": ソ is 83 5C and 表 is 95 5C in Shift-JIS.
  const std::string sjis = text::Sjis("C:\\ソフト\\表.htm");
  ASSERT_EQ(sjis.substr(3, 2), "\x83\x5C");
  const std::string slashed = ReplaceSeparators(sjis, '/');
  EXPECT_EQ(slashed, text::Sjis("C:/ソフト/表.htm"));
  EXPECT_EQ(ReplaceSeparators(slashed, '\\'), sjis);
  // A lone lead byte at the end is kept as it is.
  EXPECT_EQ(ReplaceSeparators(std::string("a\\\x83"), '/'), std::string("a/\x83"));
  // A half-width katakana (single byte A0-DF) followed by "\" is a separator.
  EXPECT_EQ(ReplaceSeparators(std::string("\xB1\\x"), '/'), std::string("\xB1/x"));
}

TEST(FileUrlForPath, EscapesWhatWouldChangeTheAddress) {
  const std::string path = "/home/u/my site/#1/100%/日本語/a\\b.htm";
  const std::string url = FileUrlForPath(path);
  EXPECT_EQ(url.find(' '), std::string::npos);
  EXPECT_EQ(url.find('#'), std::string::npos);
  EXPECT_EQ(url.find('\\'), std::string::npos);
  EXPECT_NE(url.find("my%20site/%231/100%25/%E6%97%A5"), std::string::npos) << url;
  ASSERT_EQ(url.rfind("file://", 0), 0u);
  EXPECT_EQ(PercentDecode(url.substr(7)), path);
}

TEST(PreviewBytes, CharsetOnlyWhenThePageNamesNone) {
  const std::string meta = "<meta charset=\"Shift_JIS\">";
  EXPECT_EQ(PreviewBytes("<p>x</p>"), meta + "<p>x</p>");
  // After the DOCTYPE (and comments or an XML prolog before it), so the page
  // keeps standards mode.
  EXPECT_EQ(PreviewBytes("\r\n<!DOCTYPE html>\r\n<html>"),
            "\r\n<!DOCTYPE html>" + meta + "\r\n<html>");
  EXPECT_EQ(PreviewBytes("<?xml version=\"1.0\"?><!-- c --><!doctype html><p>"),
            "<?xml version=\"1.0\"?><!-- c --><!doctype html>" + meta + "<p>");
  EXPECT_EQ(PreviewBytes("<!-- open comment"), meta + "<!-- open comment");
  EXPECT_EQ(PreviewBytes(""), meta);
  EXPECT_EQ(PreviewBytes("<p>x</p>", text::Encoding::kUtf8), "<meta charset=\"UTF-8\"><p>x</p>");

  for (std::string declared :
       {"<html><head><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=EUC-JP\">",
        "<meta charset=utf-8><p>", "\xEF\xBB\xBF<p>utf-8 with a mark</p>"}) {
    EXPECT_TRUE(DeclaresCharset(declared)) << declared;
    EXPECT_EQ(PreviewBytes(declared), declared);
  }
  // Other meta tags, or a charset named only in the text, declare nothing.
  EXPECT_FALSE(DeclaresCharset("<meta name=\"author\" content=\"x\"><p>charset</p>"));
  // A declaration after a long comment in the head still counts; one inside
  // the body does not.
  EXPECT_TRUE(DeclaresCharset("<head><!--" + std::string(3000, '-') + "--><meta charset=utf-8>"));
  EXPECT_FALSE(DeclaresCharset("<head></head><body><meta charset=utf-8>"));
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/hemlo_preview_XXXXXX";
    ASSERT_NE(::mkdtemp(templ), nullptr);
    root_ = templ;
    fs::create_directories(root_ / "prog");
    fs::create_directories(root_ / "site");
    old_program_ = ProgramFolder();
    old_cwd_ = fs::current_path();
    SetProgramFolder(root_ / "prog");
  }
  void TearDown() override {
    fs::current_path(old_cwd_);
    SetProgramFolder(old_program_);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  PreviewContext Context(FakePane* pane, std::string* caption, const void* owner) {
    PreviewContext c;
    c.pane = pane;
    c.caption = caption;
    c.owner = owner;
    c.prompts = &prompts_;
    c.state = &state_;
    c.registry = &registry_;
    c.navigate = [this](const std::string& url) { navigated_.push_back(url); };
    return c;
  }
  std::string Site(const std::string& name) const { return (root_ / "site" / name).string(); }
  std::string Fallback() const { return (root_ / "prog" / "itiji.htm").string(); }

  fs::path root_, old_program_, old_cwd_;
  ScriptedPrompts prompts_;
  PreviewState state_;
  PreviewRegistry registry_;
  std::vector<std::string> navigated_;
  int win1_ = 1, win2_ = 2;
};

TEST_F(PreviewTest, NoWindowOrEmptyPageDoesNothing) {
  std::string caption = Site("top.htm");
  PreviewContext none = Context(nullptr, &caption, &win1_);
  EXPECT_EQ(Image1Click(none).outcome, PreviewResult::Outcome::Nothing);
  FakePane empty("");
  std::string untitled;
  PreviewContext c = Context(&empty, &untitled, &win1_);
  EXPECT_EQ(Image1Click(c).outcome, PreviewResult::Outcome::Nothing);
  EXPECT_TRUE(prompts_.asked.empty());
  EXPECT_TRUE(navigated_.empty());
}

TEST_F(PreviewTest, WritesBesideThePageAndNavigates) {
  const std::string text = text::Sjis("<p>表示</p>\r\n");
  FakePane pane(text);
  std::string caption = Site("top.htm");
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  ASSERT_EQ(r.outcome, PreviewResult::Outcome::Navigated);
  EXPECT_FALSE(r.used_fallback);
  EXPECT_TRUE(r.status.empty());
  EXPECT_EQ(state_.PreviewPath, Site("topbak.htm"));
  EXPECT_EQ(Slurp(Site("topbak.htm")), PreviewBytes(text));
  ASSERT_EQ(navigated_.size(), 1u);
  EXPECT_EQ(navigated_[0], "file://" + Site("topbak.htm"));
  EXPECT_EQ(fs::current_path(), root_ / "site");
  EXPECT_TRUE(pane.Modified());  // previewing is not saving

  // A second preview replaces our own file without complaint.
  pane.SetText(text::Sjis("<p>二回目</p>"));
  r = Image1Click(c);
  EXPECT_FALSE(r.used_fallback);
  EXPECT_EQ(Slurp(Site("topbak.htm")), PreviewBytes(pane.Text()));
}

TEST_F(PreviewTest, UntitledAsksThenSaveDialogCancelDoesNothing) {
  FakePane pane("<p>x</p>");
  std::string caption;
  prompts_.answers = {Answer::Ok};
  prompts_.inputs = {std::nullopt};
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  EXPECT_EQ(r.outcome, PreviewResult::Outcome::Cancelled);
  ASSERT_EQ(prompts_.asked.size(), 2u);
  EXPECT_EQ(prompts_.asked[0].kind, "message");
  EXPECT_EQ(prompts_.asked[0].caption, "確認");
  EXPECT_EQ(prompts_.asked[0].text, "ﾌｧｲﾙ名を付けてください。");
  EXPECT_EQ(prompts_.asked[0].buttons, Buttons::Ok);
  EXPECT_EQ(prompts_.asked[1].kind, "save");
  EXPECT_TRUE(caption.empty());
  EXPECT_TRUE(pane.Modified());
  EXPECT_TRUE(navigated_.empty());
  EXPECT_FALSE(fs::exists(Fallback()));
  EXPECT_TRUE(fs::is_empty(root_ / "site"));
}

TEST_F(PreviewTest, UntitledSavedThenPreviewed) {
  FakePane pane("<p>x</p>");
  std::string caption;
  prompts_.answers = {Answer::Ok};
  prompts_.inputs = {Site("new page.html")};
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  ASSERT_EQ(r.outcome, PreviewResult::Outcome::Navigated);
  EXPECT_TRUE(r.caption_changed);
  EXPECT_EQ(caption, Site("new page.html"));
  EXPECT_FALSE(pane.Modified());
  EXPECT_EQ(Slurp(Site("new page.html")), "<p>x</p>");
  EXPECT_EQ(Slurp(Site("new pagebak.htm")), PreviewBytes("<p>x</p>"));
  EXPECT_EQ(r.url, "file://" + (root_ / "site").string() + "/new%20pagebak.htm");
}

TEST_F(PreviewTest, FailedSaveIsShownAndPageStaysUntitled) {
  FakePane pane("<p>x</p>");
  std::string caption;
  prompts_.answers = {Answer::Ok};
  prompts_.inputs = {(root_ / "missing" / "a.htm").string()};
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  ASSERT_EQ(prompts_.asked.size(), 3u);
  EXPECT_EQ(prompts_.asked[2].kind, "error");
  EXPECT_TRUE(caption.empty());
  EXPECT_TRUE(pane.Modified());
  EXPECT_EQ(r.outcome, PreviewResult::Outcome::Navigated);
  EXPECT_TRUE(r.used_fallback);
  EXPECT_EQ(Slurp(Fallback()), PreviewBytes("<p>x</p>"));
}

TEST_F(PreviewTest, ALeftoverOfAnEarlierRunIsReusedAndRemovedUnlessTheUserChangedIt) {
  const std::string state = (root_ / "prog" / "record").string();
  for (const bool user_changed_it : {false, true}) {
    std::string caption = Site("top.htm");
    FakePane pane("<p>x</p>");
    {
      PreviewRegistry earlier_run([&] { return state; });
      PreviewContext c = Context(&pane, &caption, &win1_);
      c.registry = &earlier_run;
      ASSERT_FALSE(Image1Click(c).used_fallback);
    }  // the run ends without closing its window
    if (user_changed_it) {
      ASSERT_TRUE(WriteFileAtomically(Site("topbak.htm"), "user's now"));
    }
    PreviewRegistry next_run([&] { return state; });
    PreviewContext c = Context(&pane, &caption, &win2_);
    c.registry = &next_run;
    EXPECT_EQ(Image1Click(c).used_fallback, user_changed_it);
    EXPECT_EQ(DocumentWindowDestroyed(state_, caption, &win2_, &next_run), user_changed_it ? 0 : 1);
    EXPECT_EQ(fs::exists(Site("topbak.htm")), user_changed_it);
    fs::remove(Site("topbak.htm"));
  }
}

TEST_F(PreviewTest, UsersOwnFileOfThePreviewNameIsNeverTouched) {
  ASSERT_TRUE(WriteFileAtomically(Site("topbak.htm"), "user's own"));
  FakePane pane("<p>mine</p>");
  std::string caption = Site("top.htm");
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  ASSERT_EQ(r.outcome, PreviewResult::Outcome::Navigated);
  EXPECT_TRUE(r.used_fallback);
  EXPECT_NE(r.status.find("itiji.htm"), std::string::npos);
  EXPECT_NE(r.status.find("topbak.htm"), std::string::npos);
  EXPECT_EQ(Slurp(Site("topbak.htm")), "user's own");
  EXPECT_EQ(Slurp(Fallback()), PreviewBytes("<p>mine</p>"));
  EXPECT_EQ(navigated_.back(), "file://" + Fallback());

  // Closing the window deletes neither the user's file nor the fallback.
  EXPECT_EQ(DocumentWindowDestroyed(state_, caption, &win1_, &registry_), 0);
  EXPECT_TRUE(fs::exists(Site("topbak.htm")));
  EXPECT_TRUE(fs::exists(Fallback()));
}

TEST_F(PreviewTest, FileReplacedByTheUserAfterOurPreviewIsTheirs) {
  FakePane pane("<p>1</p>");
  std::string caption = Site("top.htm");
  PreviewContext c = Context(&pane, &caption, &win1_);
  ASSERT_FALSE(Image1Click(c).used_fallback);
  // Another program writes its own file under that name.
  ASSERT_TRUE(WriteFileAtomically(Site("topbak.htm"), "now the user's"));
  EXPECT_TRUE(Image1Click(c).used_fallback);
  EXPECT_EQ(Slurp(Site("topbak.htm")), "now the user's");
  DocumentWindowDestroyed(state_, caption, &win1_, &registry_);
  EXPECT_TRUE(fs::exists(Site("topbak.htm")));
}

TEST_F(PreviewTest, ClosingDeletesOurFileLastWindowOfASharedFile) {
  FakePane a("<p>a</p>"), b("<p>b</p>");
  std::string htm = Site("top.htm"), html = Site("top.html");
  PreviewContext ca = Context(&a, &htm, &win1_);
  PreviewContext cb = Context(&b, &html, &win2_);
  ASSERT_FALSE(Image1Click(ca).used_fallback);
  ASSERT_FALSE(Image1Click(cb).used_fallback);  // ours, though the other window wrote it
  EXPECT_EQ(Slurp(Site("topbak.htm")), PreviewBytes("<p>b</p>"));

  EXPECT_EQ(DocumentWindowDestroyed(state_, htm, &win1_, &registry_), 0);
  EXPECT_TRUE(fs::exists(Site("topbak.htm")));  // the other window still shows it
  EXPECT_EQ(state_.PreviewPath, Site("topbak.htm"));
  EXPECT_EQ(DocumentWindowDestroyed(state_, html, &win2_, &registry_), 1);
  EXPECT_FALSE(fs::exists(Site("topbak.htm")));
}

TEST_F(PreviewTest, RenamedDocumentStillCleansUpItsOldPreview) {
  FakePane pane("<p>a</p>");
  std::string caption = Site("old.htm");
  PreviewContext c = Context(&pane, &caption, &win1_);
  Image1Click(c);
  caption = Site("new.htm");  // saved under a new name, never previewed again
  EXPECT_EQ(DocumentWindowDestroyed(state_, caption, &win1_, &registry_), 1);
  EXPECT_FALSE(fs::exists(Site("oldbak.htm")));
}

TEST_F(PreviewTest, FolderThatCannotBeEnteredFallsBackSilently) {
  FakePane pane("<p>a</p>");
  std::string caption = (root_ / "gone" / "top.htm").string();
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  ASSERT_EQ(r.outcome, PreviewResult::Outcome::Navigated);
  EXPECT_TRUE(r.used_fallback);
  EXPECT_TRUE(r.status.empty());
  EXPECT_TRUE(prompts_.asked.empty());
  EXPECT_EQ(state_.PreviewFolder, (root_ / "prog").string() + "/");
  EXPECT_EQ(Slurp(Fallback()), PreviewBytes("<p>a</p>"));
}

TEST_F(PreviewTest, UnwritablePreviewIsReportedAndNotShown) {
  SetProgramFolder(root_ / "no-such-program-folder");
  FakePane pane("<p>a</p>");
  std::string caption = (root_ / "gone" / "top.htm").string();
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  EXPECT_EQ(r.outcome, PreviewResult::Outcome::WriteFailed);
  ASSERT_EQ(prompts_.asked.size(), 1u);
  EXPECT_EQ(prompts_.asked[0].kind, "error");
  EXPECT_TRUE(navigated_.empty());
}

TEST_F(PreviewTest, AwkwardNamesGiveALoadableAddress) {
  fs::create_directories(root_ / "site" / "my #1 100% 日本語");
  FakePane pane("<p>a</p>");
  std::string caption = (root_ / "site" / "my #1 100% 日本語" / "ソース.htm").string();
  PreviewContext c = Context(&pane, &caption, &win1_);
  PreviewResult r = Image1Click(c);
  ASSERT_EQ(r.outcome, PreviewResult::Outcome::Navigated);
  EXPECT_FALSE(r.used_fallback);
  EXPECT_EQ(PercentDecode(r.url.substr(7)), state_.PreviewPath);
  EXPECT_TRUE(fs::exists(state_.PreviewPath));
  EXPECT_EQ(r.url.find_first_of(" #"), std::string::npos);
}

}  // namespace
}  // namespace hemlo::shell
