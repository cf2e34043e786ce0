#include "shell/about_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace hemlo {

TFrmVer::TFrmVer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FrmVer"));
  setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  setFixedSize(288, 201);
  auto* layout = new QVBoxLayout(this);
  auto* head = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  head->addWidget(icon);
  auto* names = new QVBoxLayout;
  auto* product = new QLabel(QStringLiteral("Hemlo２"), this);
  product->setObjectName(QStringLiteral("ProductName"));
  QFont bold = product->font();
  bold.setBold(true);
  bold.setPixelSize(21);
  product->setFont(bold);
  names->addWidget(product);
  names->addWidget(new QLabel(QStringLiteral("（へむろ・ツー）"), this));
  auto* version = new QLabel(QStringLiteral("バージョン１"), this);
  version->setObjectName(QStringLiteral("Version"));
  names->addWidget(version);
  head->addLayout(names);
  layout->addLayout(head);
  auto* notice =
      new QLabel(QStringLiteral("手書きでホームページを作る人のためのHTMLエディタです。\n"
                                "ファイル転送ツール Ferrox を内蔵しています。\n"
                                "GNU GPL 第3版以降（GPL-3.0-or-later）のもとで配布する\n"
                                "フリーソフトウェアです。無保証です。"),
                 this);
  notice->setWordWrap(true);
  layout->addWidget(notice);
  layout->addWidget(new QLabel(QStringLiteral("ご連絡は開発者のサイトまで。"), this));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
}

}  // namespace hemlo
