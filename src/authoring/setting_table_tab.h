#pragma once
// The builder dialog's 表の設定 tab: the table's fields, the 180 x 150 test
// view and the テスト and 設定 buttons.
#include <QWidget>

#include "authoring/builder_model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QUrl;

namespace hemlo::webview {
class TUIWebBrowser;
}

namespace hemlo::authoring {

class TableTab : public QWidget {
  Q_OBJECT
 public:
  explicit TableTab(QWidget* parent = nullptr);

  void Load(const TableSettings& t);
  // `refused` gets the first character a field holds that its page cannot hold.
  void Store(TableSettings& t, QString& refused) const;
  // Shows the test table: its bytes (Shift-JIS, or UTF-8 when `utf8`) with
  // the file's address, or, when `bytes` is too large to hand over, the file itself.
  void ShowTest(const QUrl& url, const std::string& bytes, bool from_file, bool utf8 = false);

 signals:
  void testClicked();   // テスト
  void applyClicked();  // 設定

 private:
  using TestView = webview::TUIWebBrowser;
  QCheckBox* CheckTitle;
  QLineEdit* EdTitle;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QComboBox* ComboBox1;
  QComboBox* ComboBox2;
  QCheckBox* CheckKeisen;
  QCheckBox* CheckKeisenColor;
  QCheckBox* Checkcellpadding;
  QComboBox* Cmbcellpadding;
  QCheckBox* Checkcellspacing;
  QComboBox* Cmbcellspacing;
  TestView* UIWebBrowser1;
};

}  // namespace hemlo::authoring
