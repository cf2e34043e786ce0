#include "shell/picture_insert.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <filesystem>

#include "authoring/fragments.h"
#include "base/dialog_folder.h"
#include "base/program_folder.h"
#include "photo/web_photo.h"
#include "shell/main_form.h"
#include "shell/mdi_child.h"
#include "text/cp932.h"
#include "text/view_codes.h"
#include "transfer/ferrox_files.h"

namespace hemlo {

namespace fs = std::filesystem;

namespace {

bool Inside(const fs::path& file, const fs::path& folder) {
  const fs::path rel = file.lexically_normal().lexically_relative(folder.lexically_normal());
  return !rel.empty() && *rel.begin() != "..";
}

// The site the page belongs to: Ferrox's local folder when the page lies in
// it, else the page's own folder.
fs::path SiteFolderOf(const fs::path& page) {
  const std::string site = transfer::ReadLastDir(ProgramFolder()).value_or("");
  if (!site.empty() && Inside(page, site)) return fs::path(site);
  return page.parent_path();
}

struct Choice {
  bool copy = false;
  photo::WebCopyRequest request;
  std::string alt;
};

// The one question: the alt text, and for a large picture the web copy.
bool Ask(QWidget* parent, const fs::path& source, const photo::PictureFacts& facts,
         bool offer, const fs::path& images, Choice& out) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PictureInsert"));
  dialog.setWindowTitle(QStringLiteral("画像の挿入"));
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(QStringLiteral("%1 × %2 画素、%3 KB")
                              .arg(facts.width)
                              .arg(facts.height)
                              .arg(qulonglong((facts.bytes + 1023) / 1024))));
  auto* copy = new QCheckBox(QStringLiteral("Web 用のコピーを作る (位置情報などを除く)"));
  copy->setObjectName(QStringLiteral("copy"));
  copy->setChecked(offer);
  auto* side = new QSpinBox;
  side->setObjectName(QStringLiteral("side"));
  side->setRange(16, 20000);
  side->setValue(photo::kDefaultLongestSide);
  auto* format = new QComboBox;
  format->setObjectName(QStringLiteral("format"));
  format->addItems({QStringLiteral("WebP"), QStringLiteral("JPEG")});
  auto* flatten = new QCheckBox(QStringLiteral("透明な部分を白で塗る (JPEG)"));
  flatten->setObjectName(QStringLiteral("flatten"));
  auto* folder = new QLineEdit(QString::fromStdString(images.string()));
  folder->setObjectName(QStringLiteral("folder"));
  auto* alt = new QLineEdit;
  alt->setObjectName(QStringLiteral("alt"));
  if (offer) {
    form->addRow(copy);
    form->addRow(QStringLiteral("長い辺 (画素)"), side);
    form->addRow(QStringLiteral("形式"), format);
    if (facts.has_alpha) form->addRow(flatten);
    form->addRow(QStringLiteral("保存先"), folder);
  }
  form->addRow(QStringLiteral("代替テキスト (alt)"), alt);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  alt->setFocus();
  if (dialog.exec() != QDialog::Accepted) return false;
  out.copy = offer && copy->isChecked();
  out.alt = alt->text().toStdString();
  out.request.source = source;
  out.request.format =
      format->currentIndex() == 0 ? photo::WebFormat::kWebp : photo::WebFormat::kJpeg;
  out.request.longest_side = side->value();
  out.request.alpha =
      flatten->isChecked() ? photo::AlphaChoice::kFlattenOnWhite : photo::AlphaChoice::kRefuse;
  out.request.target = photo::FreeName(folder->text().toStdString(),
                                       source.stem().string(), out.request.format);
  return true;
}

}  // namespace

bool IsPictureFile(const QString& path) {
  const QString s = QFileInfo(path).suffix().toLower();
  return s == "jpg" || s == "jpeg" || s == "png" || s == "gif" || s == "webp" || s == "bmp";
}

void InsertPicture(TMainForm& frame, TMDIChild& child, const QString& file) {
  Prompts& prompts = frame.forwarding_prompts();
  const fs::path source = file.toStdString();
  const auto facts = photo::ReadFacts(source);
  if (!facts) {
    prompts.Error(source.string() + "\r\n画像を読み込めません");
    return;
  }
  const std::string page_path = child.Caption().toStdString();
  const fs::path page = page_path.empty() ? fs::path() : fs::path(page_path);
  const fs::path site = page.empty() ? source.parent_path() : SiteFolderOf(page);
  const bool offer = frame.editor_settings().web_photos && photo::WorthAWebCopy(*facts);
  Choice choice;
  if (!Ask(&frame, source, *facts, offer, site / "images", choice)) return;

  fs::path inserted = source;
  int width = facts->width, height = facts->height;
  if (choice.copy) {
    std::error_code ec;
    fs::create_directories(choice.request.target.parent_path(), ec);
    const photo::WebCopyResult r = photo::MakeWebCopy(choice.request);
    if (!r.ok) {
      prompts.Error(r.error);
      return;
    }
    inserted = choice.request.target;
    width = r.width, height = r.height;
  }
  // Relative to the page as ファイル名... does; an untitled page gets the full name.
  const std::string target = fs::absolute(inserted).lexically_normal().string();
  const std::string base = page.empty() ? std::string() : page.parent_path().string();
  const std::string src = !base.empty() && OnSameMount(base, target)
                              ? authoring::RelativeFileName(base, target)
                              : target;
  const std::string tag = photo::ImgTag(src, width, height, choice.alt);
  text::QtEditPane* pane = child.Memo();
  const std::optional<std::string> bytes = pane->DocumentEncoding() == text::Encoding::kUtf8
                                               ? std::optional<std::string>(text::Utf8ToView(tag))
                                               : text::Utf8ToCp932(tag);
  if (!bytes) {
    prompts.Error("Shift-JIS で表せない文字があるため挿入できません。\r\n" + tag);
    return;
  }
  pane->ReplaceSelection(*bytes);
  pane->setFocus();
}

}  // namespace hemlo
