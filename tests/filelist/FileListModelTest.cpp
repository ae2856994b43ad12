#include "filelist/FileListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSortFilterProxyModel>

#include <gtest/gtest.h>

using namespace kv;

namespace {
FileListRow row(const QString& path, const QString& status = kStatusWaiting,
                const QString& duration = QStringLiteral("01:00"),
                const QString& size = QStringLiteral("1 KB")) {
    FileListRow r;
    r.FilePath = path;
    r.Status = status;
    r.Duration = duration;
    r.FileSize = size;
    return r;
}
} // namespace

TEST(FileListModel, StaysConsistentThroughAddsTicksAndRebuilds) {
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(model.appendRow(row(QStringLiteral("/f%1.wav").arg(i))));
    EXPECT_FALSE(model.appendRow(row(QStringLiteral("/f1.wav"))));
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.columnCount(), 6);

    ASSERT_TRUE(model.setData(model.index(2, 1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.table()->row(2).CheckBox, 1);
    EXPECT_EQ(model.index(2, 1).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    // Only the check column can be changed from a view.
    EXPECT_FALSE(model.setData(model.index(2, 2), QStringLiteral("/x"), Qt::EditRole));
    EXPECT_TRUE(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, 2)) & Qt::ItemIsEditable);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    EXPECT_TRUE(model.setStatus(3, QStringLiteral("12.5")));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(model.setStatus(3, QString(31, QLatin1Char('x'))));
    EXPECT_EQ(model.index(3, 3).data().toString(), QStringLiteral("12.5"));

    auto rebuilt = NewFileListTable();
    for (int i = 0; i < model.rowCount(); i += 2)
        rebuilt->appendCopy(*model.table(), i);
    model.setTable(std::move(rebuilt));
    EXPECT_EQ(model.rowCount(), 3);
}

TEST(FileListModel, CellColoursFollowTheirRowsThroughARebuild) {
    FileListModel model;
    const QColor red(220, 10, 10);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(model.appendRow(row(QStringLiteral("/c%1.wav").arg(i))));
    model.setCellColor(2, FileListColumn::Status, red);
    model.setCellColor(2, FileListColumn::Duration, red);
    model.setCellColor(0, FileListColumn::Status, red);

    auto rebuilt = NewFileListTable();
    rebuilt->appendCopy(*model.table(), 1);
    rebuilt->appendCopy(*model.table(), 2);
    model.setTable(std::move(rebuilt));
    EXPECT_FALSE(model.index(0, 3).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(model.index(1, 3).data(Qt::ForegroundRole).value<QColor>(), red);
    EXPECT_EQ(model.index(1, 4).data(Qt::ForegroundRole).value<QColor>(), red);
    model.setCellColor(1, FileListColumn::Status, QColor());
    EXPECT_FALSE(model.index(1, 3).data(Qt::ForegroundRole).isValid());
}

TEST(FileListModel, SortKeysOrderLengthsAndSizesByValue) {
    FileListModel model;
    ASSERT_TRUE(model.appendRow(row("/b.wav", "Complete", "10:00", "2 MB")));
    ASSERT_TRUE(model.appendRow(row("/a.wav", "42.5", "09:59", "1023 Bytes")));
    ASSERT_TRUE(model.appendRow(row("/C.wav", "Waiting Conversion", "125:00", "1.5 GB")));
    ASSERT_TRUE(model.appendRow(row("/d.cda", "Codec Not Supported", "Error", "CD Track")));
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setSortRole(FileListModel::SortRole);
    auto order = [&](int column) {
        proxy.sort(column);
        QStringList paths;
        for (int i = 0; i < proxy.rowCount(); ++i)
            paths << proxy.index(i, 2).data().toString();
        return paths;
    };
    EXPECT_EQ(order(4), (QStringList{"/d.cda", "/a.wav", "/b.wav", "/C.wav"}));
    EXPECT_EQ(order(5), (QStringList{"/d.cda", "/a.wav", "/b.wav", "/C.wav"}));
    EXPECT_EQ(order(2), (QStringList{"/a.wav", "/b.wav", "/C.wav", "/d.cda"}));
    // A row being converted sorts before the finished and waiting ones.
    EXPECT_EQ(order(3).first(), QStringLiteral("/a.wav"));
}
