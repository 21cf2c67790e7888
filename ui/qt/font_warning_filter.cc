#include "ui/qt/font_warning_filter.h"

#include <QMessageLogContext>

namespace velmora {
namespace {

QtMessageHandler& Previous() {
  static QtMessageHandler previous = nullptr;
  return previous;
}

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  // Qt 6 hands back its default handler when none was installed, so there
  // always is one.
  if (!IsFontWarning(message) && Previous() != nullptr) Previous()(type, context, message);
}

}  // namespace

bool IsFontWarning(const QString& message) {
  return message.contains(QStringLiteral("OpenType support missing for"));
}

void InstallFontWarningFilter() {
  const QtMessageHandler previous = qInstallMessageHandler(Filter);
  if (previous != Filter) Previous() = previous;
}

}  // namespace velmora
