// A moved page leaves a redirect page at its old address, in its own
// encoding and line breaks, clean for the site check; undoing the move takes
// it away again and puts every byte back; a redirect page edited since stops
// the undo (one removed does not), and a file at the old address is never
// written over.
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "site/link_rewrite.h"
#include "site/markup_check.h"
#include "site/redirect_page.h"
#include "site_fixture.h"
#include "text/cp932.h"

namespace hemlo::site::testing {
namespace {

// The page expected, UTF-8 with LF; LINK and SHOWN as the row gives them.
std::string Expected(const std::string& charset, const std::string& link,
                     const std::string& shown) {
  std::string page = "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n";
  page += "<meta charset=\"" + charset + "\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>このページは移動しました</title>\n";
  page += "<meta http-equiv=\"refresh\" content=\"0; url=" + link + "\">\n";
  page += "<link rel=\"canonical\" href=\"" + link + "\">\n</head>\n<body>\n";
  page += "<p>このページは <a href=\"" + link + "\">" + shown + "</a> へ移動しました。</p>\n";
  return page + "</body>\n</html>\n";
}

std::string Crlf(const std::string& s) {
  std::string out;
  for (const char c : s) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

TEST(RedirectPage, SendsToTheNewAddressInThePagesEncodingAndLineBreaks) {
  struct Row {
    const char* from;
    const char* to;
    bool sjis;  // else UTF-8 with LF
    const char* link;
    const char* shown;
  };
  const Row rows[] = {
      {"/s/記事.html", "/s/new/sub/記事.html", false, "new/sub/%E8%A8%98%E4%BA%8B.html",
       "new/sub/記事.html"},
      {"/s/docs/ページ.htm", "/s/ページ.htm", true, "../%E3%83%9A%E3%83%BC%E3%82%B8.htm",
       "../ページ.htm"},
      {"/s/a.html", "/s/b & c#1.html", false, "b%20&amp;%20c%231.html", "b &amp; c#1.html"},
      // Shift-JIS has no Hangul: written %-encoded, shown as the link.
      {"/s/a.html", "/s/한.html", true, "%ED%95%9C.html", "%ED%95%9C.html"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.to);
    const std::string moved = r.sjis
                                  ? text::Sjis("<meta charset=\"Shift_JIS\">\r\n<p>日本語</p>\r\n")
                                  : std::string("<p>日本語</p>\n");
    const std::string want = r.sjis ? Crlf(text::Sjis(Expected("Shift_JIS", r.link, r.shown)))
                                    : Expected("UTF-8", r.link, r.shown);
    const std::string page = RedirectPage(r.from, r.to, moved);
    EXPECT_EQ(page, want);
    // Nothing for the site check to report in a page we wrote.
    EXPECT_TRUE(CheckMarkup(page, r.sjis ? Encoding::kShiftJis : Encoding::kUtf8).empty());
  }
}

using Tree = std::map<std::string, std::string>;

class RedirectMove : public SiteFolder {
 protected:
  Tree Snapshot() const {
    Tree t;
    for (const auto& e : fs::recursive_directory_iterator(root_))
      t[Name(e.path())] = e.is_regular_file() ? Read(Name(e.path())) : "(folder)";
    return t;
  }
};

TEST_F(RedirectMove, MovedPagesLeaveRedirectsThatUndoTakesAway) {
  struct Case {
    const char* from;
    const char* to;
    std::map<std::string, std::string> left;  // old path -> new path, each a redirect
  };
  const Case cases[] = {
      {"docs",
       "new/資料",
       {{"docs/ページ.html", "new/資料/ページ.html"}, {"docs/sub/u.HTM", "new/資料/sub/u.HTM"}}},
      {"index.html", "トップ.html", {{"index.html", "トップ.html"}}},
  };
  const std::string sjis =
      text::Sjis("<meta charset=\"Shift_JIS\">\r\n<a href=\"../index.html\">戻る</a>\r\n");
  for (const Case& m : cases) {
    SCOPED_TRACE(m.from);
    fs::remove_all(root_);
    PutAll({{"index.html", "<a href=\"docs/ページ.html\">ページ</a>\n"},
            {"docs/ページ.html", sjis},
            {"docs/sub/u.HTM", "<p>utf-8 ページ</p>\n"},
            {"docs/p.png", "PNG"},
            {"docs/s.css", "a { color: red }\n"}});
    fs::create_directories(root_ / "new");
    const Tree original = Snapshot();

    const MoveOutcome done =
        ApplyLinkUpdate(PlanLinkUpdate(root_, root_ / m.from, root_ / m.to), true);
    ASSERT_TRUE(done.ok) << done.message;
    EXPECT_TRUE(done.redirects_skipped.empty());
    // What moved is at its new place; at the old one only the redirects.
    Tree want;
    for (const auto& [name, bytes] : original) {
      const std::string from = m.from;
      const bool inside = name == from || name.starts_with(from + "/");
      if (!inside) continue;
      const std::string now = m.to + name.substr(from.size());
      EXPECT_TRUE(fs::exists(root_ / now)) << now;
      if (const auto it = m.left.find(name); it != m.left.end()) {
        ASSERT_EQ(it->second, now);
        want[name] = RedirectPage(root_ / name, root_ / now, Read(now));
      }
    }
    Tree left;
    for (const auto& [name, bytes] : Snapshot()) {
      const bool inside = name == m.from || name.starts_with(std::string(m.from) + "/");
      if (inside && bytes != "(folder)") left[name] = bytes;
    }
    EXPECT_EQ(left, want);

    // A redirect page edited since is the author's: the undo stops. One
    // removed since does not stop it.
    const std::string first = m.left.begin()->first;
    Put(first, Read(first) + "<!-- edited -->");
    EXPECT_FALSE(UndoLinkUpdate(done.record).ok);
    fs::remove(root_ / first);

    const MoveUndoOutcome undone = UndoLinkUpdate(done.record);
    ASSERT_TRUE(undone.ok) << undone.message;
    EXPECT_EQ(Snapshot(), original);
  }
  // A name taken again at the old address is never written over.
  std::vector<std::string> skipped;
  const RedirectPages none = LeaveRedirects({root_ / "index.html"}, root_ / "index.html",
                                            root_ / "docs/sub/u.HTM", skipped);
  EXPECT_TRUE(none.pages.empty());
  EXPECT_EQ(skipped.size(), 1u);
  EXPECT_EQ(Read("index.html"), "<a href=\"docs/ページ.html\">ページ</a>\n");
}

// From here on this thread's link() fails as on a file system without hard
// links (a FAT stick): EPERM.
bool RefuseHardLinks() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#ifdef SYS_link
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_link, 2, 0),
#else
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_linkat, 2, 0),
#endif
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_linkat, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
  };
  sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST_F(RedirectMove, AnOldAddressTakenIsSkippedAndAFreeOneWrittenWithOrWithoutHardLinks) {
  for (const bool hard_links : {true, false}) {
    SCOPED_TRACE(hard_links ? "hard links" : "no hard links");
    fs::remove_all(root_);
    PutAll({{"new/docs/free.html", "<p>free</p>\n"},
            {"new/docs/taken.html", "<p>taken</p>\n"},
            {"docs/taken.html", "mine"}});
    std::vector<std::string> skipped;
    RedirectPages left;
    std::thread([&] {
      if (!hard_links) {
        ASSERT_TRUE(RefuseHardLinks());
        ASSERT_NE(::link((root_ / "docs/taken.html").c_str(), (root_ / "docs/x").c_str()), 0);
        ASSERT_EQ(errno, EPERM);
      }
      left = LeaveRedirects({root_ / "docs/free.html", root_ / "docs/taken.html"}, root_ / "docs",
                            root_ / "new/docs", skipped);
    }).join();
    const std::string page =
        RedirectPage(root_ / "docs/free.html", root_ / "new/docs/free.html", "<p>free</p>\n");
    ASSERT_EQ(left.pages.size(), 1u);
    EXPECT_EQ(left.pages[0].first, root_ / "docs/free.html");
    EXPECT_EQ(left.pages[0].second, page);
    EXPECT_EQ(skipped, std::vector<std::string>{(root_ / "docs/taken.html").string() +
                                                ": 同じ名前のファイルがあります"});
    // The free address holds the page, the taken one its own bytes, and no
    // temporary file is left beside them.
    Tree docs;
    for (const auto& [name, bytes] : Snapshot())
      if (name.starts_with("docs/")) docs[name] = bytes;
    EXPECT_EQ(docs, (Tree{{"docs/free.html", page}, {"docs/taken.html", "mine"}}));
  }
}

}  // namespace
}  // namespace hemlo::site::testing
