#pragma once
// TfrmSetting: the builder dialog (caption "設定") with its three tabs. The
// values and the button logic live in BuilderModel; every handler here copies
// the controls into the model, runs the model's handler and copies the model
// back (StoreControls / LoadControls). Created once at start-up, it keeps its
// values for the whole run.
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <optional>

#include "authoring/authoring_commands.h"
#include "authoring/builder_model.h"
#include "base/prompts.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScreen;
class QScrollBar;
class QTabWidget;
class QWebEngineView;

#if HEMLO_HAVE_UI_WEB_BROWSER
namespace hemlo::webview {
class TUIWebBrowser;
}
#endif

namespace hemlo::authoring {

class TfrmSetting : public QDialog, public BuilderDialog {
  Q_OBJECT
 public:
#if HEMLO_HAVE_UI_WEB_BROWSER
  using TestView = webview::TUIWebBrowser;
#else
  using TestView = QWebEngineView;
#endif

  // `prompts` must outlive the dialog.
  explicit TfrmSetting(Prompts& prompts, QWidget* parent = nullptr);
  ~TfrmSetting() override;

  // BuilderDialog
  BuilderModel& Model() override { return model_; }
  void ShowModal(std::optional<int> tab) override;

  // Model -> controls, and controls -> model.
  void LoadControls();
  void StoreControls();

  // How 色取得 copies the screen; tests replace it to simulate a failed capture.
  std::function<QPixmap(QScreen*)> desktopGrabber;

  // Handlers (button clicks, slider changes, attribute pick).
  void Button1Click();  // 設定 (table)
  void Button2Click();  // 閉じる, Escape
  void Button3Click();  // 設定 (colour and size)
  void Button4Click();  // テスト
  void Button5Click();  // 色取得
  void Button6Click();  // 追記↓
  void Button7Click();  // 設定 (style sheet)
  void Button8Click();  // クリア
  void ScrollBar1Change();
  void SetColor();
  void RadioGroup1Click();

  // ------------------------------------------------------------ controls
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;
  QPushButton* Button2 = nullptr;

  // 表の設定
  QCheckBox* CheckTitle = nullptr;
  QLineEdit* EdTitle = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QCheckBox* CheckKeisen = nullptr;
  QCheckBox* CheckKeisenColor = nullptr;
  QCheckBox* Checkcellpadding = nullptr;
  QComboBox* Cmbcellpadding = nullptr;
  QCheckBox* Checkcellspacing = nullptr;
  QComboBox* Cmbcellspacing = nullptr;
  TestView* UIWebBrowser1 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button1 = nullptr;

  // 色やサイズの設定
  QLabel* Label8 = nullptr;
  QCheckBox* CheckColor = nullptr;
  QCheckBox* CheckSize = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  QScrollBar* ScrollBar2 = nullptr;
  QScrollBar* ScrollBar3 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* LblRGB = nullptr;
  QLabel* LblS = nullptr;
  QLabel* LblH = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QRadioButton* RadioButton3 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button5 = nullptr;

  // スタイルシート
  QLineEdit* EdClassName = nullptr;
  QComboBox* cmbTani = nullptr;
  QGroupBox* RadioGroup1 = nullptr;
  QButtonGroup* RadioGroup1Buttons = nullptr;  // ids 0..9
  QComboBox* cmbAlign = nullptr;
  QRadioButton* RadioSize1 = nullptr;
  QLineEdit* EdSize = nullptr;
  QComboBox* cmbstyle = nullptr;
  QRadioButton* RadioSize2 = nullptr;
  QLineEdit* EdTop = nullptr;
  QLineEdit* EdRight = nullptr;
  QLineEdit* EdBottom = nullptr;
  QLineEdit* EdLeft = nullptr;
  QComboBox* cmbstyleTop = nullptr;
  QComboBox* cmbstyleRight = nullptr;
  QComboBox* cmbstyleBottom = nullptr;
  QComboBox* cmbstyleLeft = nullptr;
  QPushButton* Button6 = nullptr;
  QPushButton* Button8 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* Button7 = nullptr;

 public slots:
  void reject() override;  // Escape and the window's close box press 閉じる

 private:
  void FormCreate();
  QWidget* BuildTableTab();
  QWidget* BuildColorTab();
  QWidget* BuildStyleTab();
  void ApplyVisibility();
  // Closes the dialog after a button whose logic says so.
  void CloseWith(bool close);

  Prompts& prompts_;
  BuilderModel model_;
};

}  // namespace hemlo::authoring
