// The velmora executable itself: it starts on its command line and ends
// cleanly on a termination signal.
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include "tests/gui/app_fixture.h"
#include "tests/support/temp_dir.h"

namespace velmora {
namespace {

// True once process |pid| catches |signal_number|, that is, once the
// program has installed its handler.
bool Catches(qint64 pid, int signal_number) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:")) continue;
    bool ok = false;
    const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
    return ok && (mask & (1ULL << (signal_number - 1))) != 0;
  }
  return false;
}

TEST(ProgramTest, EndsCleanlyOnSigterm) {
  testing::TempDir dir;
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                     QStringLiteral("offscreen"));
  program.setProcessEnvironment(environment);
  // Options Qt would act on are just more of the path here.
  program.start(
      QStringLiteral(VELMORA_PROGRAM),
      QStringList{QString::fromStdString(dir.path()),
                  QStringLiteral("-platform"), QStringLiteral("nonexistent")});
  ASSERT_TRUE(program.waitForStarted());
  ASSERT_TRUE(SpinUntil([&] {
    return Catches(program.processId(), SIGTERM) ||
           program.state() == QProcess::NotRunning;
  }));
  ASSERT_EQ(program.state(), QProcess::Running);
  program.terminate();  // SIGTERM
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
}  // namespace velmora
