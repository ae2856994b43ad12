// Runs a fuzz target, built with the ordinary compiler, over the inputs the fuzzer once failed
// on (fuzz/regressions/<target>/) and over a fresh seed corpus from fuzz/make-seeds.py.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(FuzzReplay, RegressionsAndSeedsRunClean) {
    QTemporaryDir seeds;
    ASSERT_EQ(QProcess::execute(QStringLiteral("python3"),
                                {QStringLiteral(KV_FUZZ_DIR "/make-seeds.py"), seeds.path()}),
              0);
    int inputs = 0;
    for (const QString& folder : {QStringLiteral(KV_FUZZ_DIR "/regressions/" KV_FUZZ_TARGET),
                                  seeds.filePath(QStringLiteral(KV_FUZZ_TARGET))}) {
        QDirIterator it(folder, QDir::Files);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
            const QByteArray bytes = f.readAll();
            SCOPED_TRACE(f.fileName().toStdString());
            // A failed check aborts the test program, naming the check and the line.
            EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size())),
                      0);
            ++inputs;
        }
    }
    EXPECT_GT(inputs, 0);
}
