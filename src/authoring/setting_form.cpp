#include "authoring/setting_form.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>
#include <string_view>

#include "authoring/disp_cap_form.h"
#include "authoring/setting_color_tab.h"
#include "authoring/setting_style_tab.h"
#include "authoring/setting_table_tab.h"
#include "authoring/setting_widgets.h"
#include "base/atomic_file.h"
#include "text/sjis_bridge.h"
#include "text/utf8.h"
#include "text/view_codes.h"

namespace hemlo::authoring {

TfrmSetting::TfrmSetting(Prompts& prompts, QWidget* parent)
    : QDialog(parent), desktop_grabber_(GrabDesktop), prompts_(prompts) {
  setObjectName(QStringLiteral("frmSetting"));
  setWindowTitle(QStringLiteral("設定"));

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setDocumentMode(true);  // flat tabs
  table_ = new TableTab;
  colour_ = new ColorTab;
  style_ = new StyleTab;
  PageControl1->addTab(table_, QStringLiteral("表の設定"));
  PageControl1->addTab(colour_, QStringLiteral("色やサイズの設定"));
  PageControl1->addTab(style_, QStringLiteral("スタイルシート"));

  connect(table_, &TableTab::applyClicked, this,
          [this] { Run([this] { return model_.Button1Click(prompts_); }); });
  connect(table_, &TableTab::testClicked, this, &TfrmSetting::TestTable);
  connect(colour_, &ColorTab::applyClicked, this,
          [this] { Run([this] { return model_.Button3Click(prompts_); }); });
  connect(colour_, &ColorTab::pickClicked, this, &TfrmSetting::PickColour);
  connect(colour_, &ColorTab::slidersMoved, this, &TfrmSetting::ShowColour);
  connect(style_, &StyleTab::appendClicked, this, [this] {
    Run([this] {
      model_.Button6Click(prompts_);
      return false;
    });
  });
  connect(style_, &StyleTab::clearClicked, this, [this] {
    Run([this] {
      model_.Button8Click();
      return false;
    });
  });
  connect(style_, &StyleTab::applyClicked, this,
          [this] { Run([this] { return model_.Button7Click(); }); });
  connect(style_, &StyleTab::attributeClicked, this, [this] {
    Run([this] {
      model_.RadioGroup1Click(style_->CheckedAttribute());
      return false;
    });
  });

  QPushButton* close = NewButton(this, "Button2", "閉じる");
  connect(close, &QPushButton::clicked, this, &TfrmSetting::Close);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch();
  bottom->addWidget(close);
  auto* root = new QVBoxLayout(this);
  root->addWidget(PageControl1);
  root->addLayout(bottom);

  // The model's defaults are the creation values of every control.
  LoadControls();
}

TfrmSetting::~TfrmSetting() = default;

void TfrmSetting::LoadControls() {
  setProperty(kFieldEncodingProperty, static_cast<int>(model_.document_encoding));
  table_->Load(model_.table);
  colour_->Load(model_.colorSize);
  ShowColour();
  style_->Load(model_.style);
  if (model_.currentTab >= 0 && model_.currentTab < PageControl1->count())
    PageControl1->setCurrentIndex(model_.currentTab);
}

QString TfrmSetting::StoreControls() {
  QString refused;
  table_->Store(model_.table, refused);
  colour_->Store(model_.colorSize, refused);
  style_->Store(model_.style, refused);
  model_.currentTab = PageControl1->currentIndex();
  return refused;
}

bool TfrmSetting::StoreForButton() {
  const QString refused = StoreControls();
  if (refused.isEmpty()) return true;
  prompts_.Error(sjis::RefusedMessage(refused).toStdString());
  return false;
}

void TfrmSetting::ShowModal(std::optional<int> tab) {
  if (tab) model_.currentTab = *tab;
  LoadControls();
  exec();
  StoreControls();
}

void TfrmSetting::Run(const std::function<bool()>& handler) {
  if (!StoreForButton()) return;
  const bool close = handler();
  LoadControls();
  if (close) done(QDialog::Accepted);
}

void TfrmSetting::reject() { Close(); }

void TfrmSetting::closeEvent(QCloseEvent* event) {
  StoreControls();
  event->accept();
  done(QDialog::Rejected);
}

void TfrmSetting::Close() {
  StoreControls();
  model_.Button2Click();
  LoadControls();
  QDialog::reject();
}

void TfrmSetting::TestTable() {
  if (!StoreForButton()) return;
  const std::optional<std::string> address = model_.Button4Click(prompts_);
  LoadControls();
  if (!address) return;  // the error was shown; the view keeps its page
  // The file URL is rebuilt from the path so that "#", "%" or a double-byte
  // folder name reach the view encoded rather than cut or misread.
  std::string_view path = *address;
  constexpr std::string_view kScheme = "file://";
  if (path.substr(0, kScheme.size()) == kScheme) path.remove_prefix(kScheme.size());
  const QUrl url =
      QUrl::fromLocalFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
  // The engine types a file by its name and shows "TABLEFILE.$$$" as plain
  // text; the file's own bytes are therefore handed over as Shift-JIS HTML,
  // with the file's address as the page's address.
  std::string bytes;
  if (const FileResult read = ReadWholeFile(std::filesystem::path(std::string(path)), bytes);
      !read) {
    prompts_.Error(std::string(path) + ": " + read.message);
    return;
  }
  // Content handed over this way is limited to 2 MB; a larger table (tens of
  // thousands of rows) is opened from the file itself instead, as text.
  constexpr std::size_t kContentLimit = 2'000'000;
  // A table filled in for a UTF-8 page holds its command view: shown as the
  // page's own UTF-8.
  const bool utf8 = model_.document_encoding == text::Encoding::kUtf8;
  if (utf8) {
    const text::ViewText view = text::DecodeView(bytes, text::ViewCodes());
    bytes = text::EncodeUtf8Lines(view.text, u'\n', view.genuine);
  }
  table_->ShowTest(url, bytes, bytes.size() > kContentLimit, utf8);
}

void TfrmSetting::PickColour() {
  if (!StoreForButton()) return;
  model_.Button5Message(prompts_);
  std::optional<PickedColor> picked;
  try {
    TFrmDispCap picker(this, desktop_grabber_);
    picker.exec();
    picked = picker.Picked();
  } catch (const DesktopCaptureError& e) {
    prompts_.Error(e.what());
  }
  // Nothing picked (Escape, failed capture): the sliders keep their positions.
  model_.ApplyPickedColor(picked);
  LoadControls();
}

void TfrmSetting::ShowColour() {
  ColorSizeSettings& c = model_.colorSize;
  colour_->StoreSliders(c);
  const ColorLabels labels = model_.SetColor();
  colour_->ShowColour(labels, QColor(c.ScrollBar1, c.ScrollBar2, c.ScrollBar3));
}

}  // namespace hemlo::authoring
