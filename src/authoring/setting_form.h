#pragma once
// TfrmSetting: the builder dialog (caption "設定") with its three tabs. The
// values and the button logic live in BuilderModel; every handler copies the
// tabs into the model, runs the model's handler and copies the model back
// (StoreControls / LoadControls). Created once at start-up, it keeps its
// values for the whole run. Tests reach the controls by their object names.
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <optional>

#include "authoring/authoring_commands.h"
#include "authoring/builder_model.h"
#include "base/prompts.h"

class QScreen;
class QTabWidget;

namespace hemlo::authoring {

class ColorTab;
class StyleTab;
class TableTab;

class TfrmSetting : public QDialog, public BuilderDialog {
  Q_OBJECT
 public:
  // `prompts` must outlive the dialog.
  explicit TfrmSetting(Prompts& prompts, QWidget* parent = nullptr);
  ~TfrmSetting() override;

  // BuilderDialog
  BuilderModel& Model() override { return model_; }
  void ShowModal(std::optional<int> tab) override;

  // How 色取得 copies the screen; tests replace it to simulate a failed capture.
  void SetDesktopGrabber(std::function<QPixmap(QScreen*)> grabber) {
    desktop_grabber_ = std::move(grabber);
  }

 public slots:
  void reject() override;  // Escape presses 閉じる

 protected:
  // The title bar's close box leaves without 閉じる: SettingResult keeps the
  // value of the last 設定.
  void closeEvent(QCloseEvent* event) override;

 private:
  // Model -> controls, and controls -> model. StoreControls returns the first
  // character a field holds that Shift-JIS lacks (that field's value stays).
  void LoadControls();
  QString StoreControls();
  // StoreControls for a button: false, with the message shown, on a refusal.
  bool StoreForButton();
  // Runs a model handler between StoreControls and LoadControls; the dialog
  // closes when the handler says so.
  void Run(const std::function<bool()>& handler);

  void TestTable();   // テスト
  void PickColour();  // 色取得
  void ShowColour();  // after a slider moved
  void Close();       // 閉じる, Escape

  QTabWidget* PageControl1;
  TableTab* table_;
  ColorTab* colour_;
  StyleTab* style_;
  std::function<QPixmap(QScreen*)> desktop_grabber_;
  Prompts& prompts_;
  BuilderModel model_;
};

}  // namespace hemlo::authoring
