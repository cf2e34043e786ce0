#pragma once
// The profile's publishing fields in the Ferrox window's panel: the local
// site folder with its folder button (edSiteFolder, btnSiteFolder), the
// server's folder it is published to (edPublishFolder), the number of connections (spnConnections, 1-8) and, beside it, whether
// ↑ﾌｫﾙﾀﾞｱｯﾌﾟﾛｰﾄﾞ uses them too (chkFolderUploadParallel), and the files
// the sync leaves alone on both sides (edExclusions). The window adds
// them below the profile's other fields and fills them from the profile
// and back.
#include <QObject>
#include <QString>

#include "transfer/profiles.h"

class QLineEdit;
class QPushButton;
class QCheckBox;
class QSpinBox;
class QWidget;

namespace hemlo::transfer_ui {

class PublishProfileFields : public QObject {
  Q_OBJECT

 public:
  explicit PublishProfileFields(QWidget* owner);

  QWidget* site_row = nullptr;  // the edit and its button, one field
  QLineEdit* site_edit = nullptr;
  QPushButton* site_button = nullptr;
  QWidget* connections_row = nullptr;  // the count and the check box, one field
  QSpinBox* connections_box = nullptr;
  QCheckBox* folder_upload_box = nullptr;
  QLineEdit* publish_edit = nullptr;
  QLineEdit* exclusions_edit = nullptr;

  void Show(const transfer::ProfilePanel& profile);
  // The fields into `profile`; false (nothing taken) when a folder holds
  // a character its encoding lacks, with the text for the message in `error`.
  bool Take(transfer::ProfilePanel& profile, QString* error) const;
};

}  // namespace hemlo::transfer_ui
