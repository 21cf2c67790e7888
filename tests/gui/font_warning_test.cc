// The filter that keeps the font database's OpenType warnings off stderr.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "ui/qt/font_warning_filter.h"

namespace velmora {
namespace {

QStringList& Seen() {
  static QStringList seen;
  return seen;
}

void Record(QtMsgType /*type*/, const QMessageLogContext& /*context*/, const QString& message) {
  Seen() << message;
}

TEST(FontWarningFilterTest, DropsOnlyTheOpenTypeWarnings) {
  const QtMessageHandler original = qInstallMessageHandler(Record);
  InstallFontWarningFilter();
  InstallFontWarningFilter();  // a second install must not loop
  Seen().clear();
  qWarning("OpenType support missing for \"Noto Sans CJK JP\", script 32");
  qWarning("QFont::setPointSizeF: Point size <= 0 (0.000000), must be greater than 0");
  qInstallMessageHandler(original);
  EXPECT_EQ(Seen(),
            QStringList({QStringLiteral(
                "QFont::setPointSizeF: Point size <= 0 (0.000000), must be greater than 0")}));
}

}  // namespace
}  // namespace velmora
