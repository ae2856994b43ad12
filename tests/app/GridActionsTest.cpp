#include "app/frmMain.h"
#include "lang/Captions.h"
#include "ui/MyButton.h"

#include "TestSupport.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;

namespace {
class GridActions : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguageFile(QStringLiteral("English.ini"));
        ASSERT_TRUE(w.load());
    }
    void addRows(int n) {
        for (int i = 0; i < n; ++i) {
            FileListRow r;
            r.FilePath = QStringLiteral("/music/%1.wav").arg(w.fileList()->rowCount());
            r.Status = kStatusWaiting;
            r.Duration = QStringLiteral("0%1:00").arg(i);
            r.FileSize = QStringLiteral("%1 KB").arg(10 - i);
            ASSERT_TRUE(w.fileListModel()->appendRow(r));
        }
    }
    QStringList paths() const { return kvtest::RowPaths(*w.fileList()); }
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
    frmMain w;
};
} // namespace

TEST_F(GridActions, SelectAllOnEmptyListDoesNothingAndOnFiveRowsMarksAll) {
    const QAbstractItemModel* model = w.fileListModel();
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    w.chkSelectAll->click();
    ASSERT_TRUE(w.chkSelectAll->isChecked());
    EXPECT_EQ(changed.count() + reset.count() + inserted.count(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    w.chkSelectAll->setChecked(false);

    // Nothing of that click is kept for rows that come later.
    addRows(5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.fileList()->row(i).CheckBox, 0);
    w.chkSelectAll->click();
    ASSERT_TRUE(w.chkSelectAll->isChecked());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.fileList()->row(i).CheckBox, 1);
    w.chkSelectAll->click();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w.fileList()->row(i).CheckBox, 0);

    // Setting the box from code changes only the box.
    w.fileListModel()->setCheckBox(2, 1);
    w.chkSelectAll->setChecked(true);
    w.chkSelectAll->setChecked(false);
    EXPECT_EQ(w.fileList()->row(2).CheckBox, 1);
    EXPECT_EQ(w.fileList()->row(1).CheckBox, 0);
}

TEST_F(GridActions, RemoveKeepsUncheckedRowsInOrderWithTheirColours) {
    addRows(5);
    const QColor red(220, 10, 10);
    w.fileListModel()->setCellColor(3, FileListColumn::Status, red);
    w.fileListModel()->setCellColor(4, FileListColumn::Duration, red);
    w.fileListModel()->setCheckBox(0, 1);
    w.fileListModel()->setCheckBox(2, -1); // any non-zero mark counts as ticked
    w.chkSelectAll->setChecked(true);
    w.cmdRemove->click();
    EXPECT_EQ(paths(), (QStringList{"/music/1.wav", "/music/3.wav", "/music/4.wav"}));
    EXPECT_FALSE(w.chkSelectAll->isChecked());
    const QAbstractItemModel* m = w.fileListModel();
    EXPECT_EQ(m->index(1, 3).data(Qt::ForegroundRole).value<QColor>(), red);
    EXPECT_EQ(m->index(2, 4).data(Qt::ForegroundRole).value<QColor>(), red);
    EXPECT_FALSE(m->index(0, 3).data(Qt::ForegroundRole).isValid());
}

TEST_F(GridActions, RemoveWithNothingTickedKeepsAllAndAllTickedEmptiesTheList) {
    addRows(4);
    w.cmdRemove->click();
    EXPECT_EQ(w.fileList()->rowCount(), 4);
    w.chkSelectAll->click();
    w.cmdRemove->click();
    EXPECT_EQ(w.fileList()->rowCount(), 0);
    // Removing from an empty list is harmless.
    w.cmdRemove->click();
    EXPECT_EQ(w.fileList()->rowCount(), 0);
}

TEST_F(GridActions, RemovingThePreviewedRowStopsThePreviewOnly) {
    addRows(3);
    int stops = 0;
    w.StopPreview = [&] { ++stops; };
    w.PreviewPath = QStringLiteral("/music/1.wav");
    w.fileListModel()->setCheckBox(0, 1);
    w.cmdRemove->click();
    EXPECT_EQ(stops, 0);
    w.fileListModel()->setCheckBox(0, 1); // now /music/1.wav
    w.cmdRemove->click();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(paths(), (QStringList{"/music/2.wav"}));
}

TEST_F(GridActions, DoubleClickPlaysOnlyWhenPlayIsEnabled) {
    addRows(2);
    QSignalSpy played(w.cmdPlay, &QPushButton::clicked);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QModelIndex cell = w.Grid->model()->index(1, 2);
    Q_EMIT w.Grid->doubleClicked(cell);
    EXPECT_EQ(played.count(), 1);
    w.cmdPlay->setEnabled(false);
    Q_EMIT w.Grid->doubleClicked(cell);
    EXPECT_EQ(played.count(), 1);
}

TEST_F(GridActions, HeaderClickSortsTheViewNotTheTable) {
    addRows(4); // sizes 10, 9, 8, 7 KB
    EXPECT_EQ(w.TableRowOfGridRow(0), 0);
    w.Grid->sortByColumn(5, Qt::AscendingOrder);
    EXPECT_EQ(w.TableRowOfGridRow(0), 3);
    EXPECT_EQ(w.Grid->model()->index(0, 2).data().toString(), QStringLiteral("/music/3.wav"));
    // The table keeps insertion order; rows are found by path.
    EXPECT_EQ(paths().first(), QStringLiteral("/music/0.wav"));
    EXPECT_EQ(w.TableRowOfGridRow(9), -1);

    // Sorted by status, rows stay put while a batch writes statuses; a file added meanwhile
    // goes last.
    w.Grid->sortByColumn(3, Qt::AscendingOrder);
    const auto order = [&] {
        QList<int> rows;
        for (int r = 0; r < w.Grid->model()->rowCount(); ++r)
            rows << w.TableRowOfGridRow(r);
        return rows;
    };
    const QList<int> sorted = order();
    w.fileListModel()->setStatus(2, QStringLiteral("12.5"));
    w.fileListModel()->setStatus(1, QStringLiteral("Complete"));
    EXPECT_EQ(order(), sorted);
    addRows(1);
    EXPECT_EQ(order(), sorted + QList<int>{4});
    // Clicked again, the sorted header turns descending, then gives the list's own order.
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QHeaderView* header = w.Grid->horizontalHeader();
    const QPoint status(header->sectionViewportPosition(3) + header->sectionSize(3) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, status);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, status);
    EXPECT_EQ(order(), (QList<int>{0, 1, 2, 3, 4}));

    // Removing rows rebuilds the list; a sorted grid stays sorted.
    w.Grid->sortByColumn(5, Qt::AscendingOrder); // 7, 8, 9, 10, 10 KB
    w.fileListModel()->setCheckBox(0, 1);
    w.cmdRemove->click();
    EXPECT_EQ(order(), (QList<int>{2, 1, 0, 3}));
}
