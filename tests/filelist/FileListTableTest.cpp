#include "filelist/FileListTable.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {
FileListRow waitingRow(const QString& path) {
    FileListRow r;
    r.FilePath = path;
    r.Status = kStatusWaiting;
    r.Duration = QStringLiteral("3:07");
    r.FileSize = QStringLiteral("4.2 MB");
    return r;
}
} // namespace

TEST(FileListTable, EmptyTableFindsNothing) {
    FileListTable t;
    EXPECT_TRUE(t.isOpen());
    EXPECT_EQ(t.rowCount(), 0);
    EXPECT_FALSE(t.IsInFileList(QString()));
    EXPECT_FALSE(t.IsInFileList(QStringLiteral("/a.wav")));
}

TEST(FileListTable, KeepsInsertionOrderAndCaseSensitivePaths) {
    FileListTable t;
    ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/music/b.wav"))));
    ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/music/A.wav"))));
    ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/music/a.wav"))));
    ASSERT_EQ(t.rowCount(), 3);
    EXPECT_EQ(t.row(0).FilePath, QStringLiteral("/music/b.wav"));
    EXPECT_EQ(t.row(1).FilePath, QStringLiteral("/music/A.wav"));
    EXPECT_EQ(t.row(2).FilePath, QStringLiteral("/music/a.wav"));
    EXPECT_EQ(t.indexOfPath(QStringLiteral("/music/a.wav")), 2);
    EXPECT_FALSE(t.IsInFileList(QStringLiteral("/MUSIC/a.wav")));
    EXPECT_EQ(t.row(0).ID, 0);
    EXPECT_EQ(t.row(0).CheckBox, 0);
}

TEST(FileListTable, RefusesDuplicatePathAndLeavesTableUnchanged) {
    FileListTable t;
    ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/x.mp3"))));
    QString error;
    EXPECT_FALSE(t.append(waitingRow(QStringLiteral("/x.mp3")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(t.rowCount(), 1);
}

TEST(FileListTable, ColumnWidthsAreEnforcedInCharacters) {
    FileListTable t;
    QString error;
    // 250 characters fit, 251 do not; a non-BMP character counts once.
    const QString fits = QStringLiteral("/") + QString(248, QLatin1Char('a')) +
                         QString::fromUtf8("\xF0\x9F\x8E\xB5");
    ASSERT_EQ(TextLength(fits), 250);
    EXPECT_TRUE(t.append(waitingRow(fits), &error)) << error.toStdString();
    EXPECT_FALSE(t.append(waitingRow(fits + QLatin1Char('b')), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("FilePath")));
    EXPECT_EQ(t.rowCount(), 1);

    FileListRow r = waitingRow(QStringLiteral("/y.wav"));
    r.FileSize = QString(16, QLatin1Char('9'));
    EXPECT_FALSE(t.append(r, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("FileSize")));

    ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/z.wav"))));
    EXPECT_TRUE(t.setStatus(1, QString(30, QLatin1Char('s'))));
    EXPECT_FALSE(t.setStatus(1, QString(31, QLatin1Char('s')), &error));
    EXPECT_EQ(t.row(1).Status, QString(30, QLatin1Char('s')));
    EXPECT_FALSE(t.setDuration(1, QString(31, QLatin1Char('d'))));
    EXPECT_FALSE(t.setFileSize(1, QString(16, QLatin1Char('f'))));
    EXPECT_TRUE(t.setFileSize(1, QStringLiteral("CD Track")));
}

TEST(FileListTable, RowIdentitySurvivesRebuild) {
    FileListTable t;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/f%1.wav").arg(i))));
    const FileListRowId third = t.idAt(2);
    EXPECT_EQ(t.indexOf(third), 2);

    // Rebuild keeping the odd rows, as removal does.
    auto rebuilt = NewFileListTable();
    ASSERT_TRUE(rebuilt);
    for (int i = 0; i < t.rowCount(); ++i) {
        if (i % 2 == 0) {
            ASSERT_TRUE(rebuilt->appendCopy(t, i));
        }
    }
    ASSERT_EQ(rebuilt->rowCount(), 3);
    EXPECT_EQ(rebuilt->indexOf(third), 1);
    EXPECT_EQ(rebuilt->indexOf(t.idAt(1)), -1);
    EXPECT_EQ(rebuilt->indexOfPath(QStringLiteral("/f4.wav")), 2);
    // A copied row cannot be copied twice into the same table.
    EXPECT_FALSE(rebuilt->appendCopy(t, 2));
    // New rows get identities no table has used.
    ASSERT_TRUE(rebuilt->append(waitingRow(QStringLiteral("/new.wav"))));
    for (int i = 0; i < t.rowCount(); ++i)
        EXPECT_NE(rebuilt->idAt(3), t.idAt(i));
}

TEST(FileListTable, LookupsDoNotDisturbEachOther) {
    FileListTable t;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(t.append(waitingRow(QStringLiteral("/w%1.wav").arg(i))));
    // A walk by index while lookups run in between still sees every row once, in order.
    QStringList walked;
    for (int i = 0; i < t.rowCount(); ++i) {
        EXPECT_TRUE(t.IsInFileList(QStringLiteral("/w0.wav")));
        EXPECT_FALSE(t.IsInFileList(QStringLiteral("/missing.wav")));
        walked << t.row(i).FilePath;
    }
    EXPECT_EQ(walked, (QStringList{"/w0.wav", "/w1.wav", "/w2.wav", "/w3.wav"}));
}
