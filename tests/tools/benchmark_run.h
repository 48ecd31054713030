#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace kalinda::test {

// Runs build/tools/`name` with `args` and expects it to end well; its output on failure.
inline void
expectBenchmarkRuns(const QString& name, const QStringList& args,
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess bench;
    bench.setProcessEnvironment(env);
    bench.setProcessChannelMode(QProcess::MergedChannels);
    bench.start(QStringLiteral(KALINDA_BENCHMARK_DIR "/") + name, args);
    const bool ended = bench.waitForFinished(300000);
    EXPECT_TRUE(ended && bench.exitStatus() == QProcess::NormalExit && bench.exitCode() == 0)
        << name.toStdString() << " " << args.join(QLatin1Char(' ')).toStdString() << ":\n"
        << bench.readAll().toStdString();
}

} // namespace kalinda::test
