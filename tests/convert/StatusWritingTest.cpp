// What the Status column shows while and after a file is converted.
#include "convert/StatusWriting.h"
#include "lang/Captions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {
FileListRowId addRow(FileListModel& model, const QString& path) {
    FileListRow row;
    row.FilePath = path;
    row.Status = kStatusWaiting;
    EXPECT_TRUE(model.appendRow(row));
    return model.table()->idAt(model.rowCount() - 1);
}
} // namespace

TEST(StatusWriting, ProgressIsTheShortestSinglePrecisionTextOfSevenDigits) {
    FileListModel model;
    const FileListRowId id = addRow(model, QStringLiteral("/m/a.flac"));
    const struct {
        double percent;
        const char* text;
    } cases[] = {
        {100.0 / 3, "33.33333"},
        {12.5, "12.5"},
        {200.0 / 3, "66.66666"},
        {700.0 / 9, "77.77778"},
        {100.0, "100"},
        {0.1, "0.1"},
        {0.0, "0"},
        {99.999994, "99.99999"},
        {1234.56789, "1234.568"},
    };
    for (const auto& c : cases) {
        WriteProgress(model, id, c.percent);
        EXPECT_EQ(model.table()->row(0).Status, QString::fromLatin1(c.text)) << c.percent;
    }
}

TEST(StatusWriting, LongFinalTextsAreCutToTheColumnAndStillEndTheRow) {
    kvtest::ProgramFolderFixture folder;
    const QString complete = QStringLiteral("Vollständig abgeschlossen und geprüft");
    const QString cancelled = QStringLiteral("Vom Benutzer abgebrochen, bitte erneut starten");
    // 29 letters and a character outside the basic plane: it stays whole.
    const QString error = QString(29, QLatin1Char('x')) + QStringLiteral("\U0001F600 und mehr");
    folder.writeFile(
        QStringLiteral("Lang/Long.ini"),
        ("[Kelvanto]\n20014=" + complete + "\n20008=" + cancelled + "\n20013=" + error + "\n")
            .toUtf8());
    SetLanguageFile(QStringLiteral("Long.ini"));

    FileListModel model;
    const struct {
        FileOutcome outcome;
        QString shown;
    } cases[] = {
        {FileOutcome::Complete, complete.left(30)},
        {FileOutcome::Cancelled, cancelled.left(30)},
        {FileOutcome::Error, error.left(31)},
    };
    for (const auto& c : cases) {
        const FileListRowId id = addRow(model, QStringLiteral("/m/%1.flac").arg(int(c.outcome)));
        WriteProgress(model, id, 42.5);
        WriteFinalStatus(model, id, c.outcome);
        const int row = model.table()->indexOf(id);
        EXPECT_EQ(model.table()->row(row).Status, c.shown);
        EXPECT_EQ(TextLength(model.table()->row(row).Status), 30);
        EXPECT_EQ(model.cellColor(row, FileListColumn::Status), FinalStatusColor(c.outcome));
    }
    // The cut cancelled text still marks a row the next batch takes again.
    const std::vector<BatchRow> rows = BatchRowsOf(*model.table());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].waiting);
    EXPECT_TRUE(rows[1].waiting);
    EXPECT_FALSE(rows[2].waiting);
    SetLanguageFile(QStringLiteral("English.ini"));
}
