#pragma once
// Japanese texts for the web engine's own menus and dialogs. Debian ships no
// qtwebengine_ja.qm, so without this the web pane's context menu is English.
#include <QTranslator>

namespace hemlo {

class EngineTextsJa : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* source_text, const char* disambiguation,
                    int n) const override;
  bool isEmpty() const override { return false; }
};

}  // namespace hemlo
