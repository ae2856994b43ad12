// Caption look-ups in a language file of about 1 MiB (the largest the program reads): the first
// look-up, which reads and parses the file, and the time per look-up after it, median of 9
// rounds over every caption of the window.
// Usage: caption-bench [rounds of all captions per measurement] (default 200)
#include "lang/CaptionTable.h"
#include "lang/Captions.h"
#include "settings/ProgramFolder.h"
#include "settings/RegularFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 200;
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath(QStringLiteral("Lang")));
    kv::SetProgramFolder(folder.path());

    // The window's captions last, after other keys that fill the file to just under 1 MiB.
    QByteArray captions;
    for (const kv::CaptionEntry& e : kv::CaptionTable())
        captions += QByteArray::number(e.key) + "=Bench " + e.defaultText + '\n';
    QByteArray text = "[Kelvanto]\n";
    for (int k = 500000; text.size() + captions.size() < kv::kMaxLanguageFileBytes - 64; ++k)
        text += QByteArray::number(k) + "=A text that only fills the file up\n";
    text += captions;
    QFile file(folder.filePath(QStringLiteral("Lang/Bench.ini")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        return 1;
    }
    // A file as shipped, not one being edited, which is read anew until it is a moment old.
    file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                     QFileDevice::FileModificationTime);
    file.close();
    kv::SetLanguageFile(QStringLiteral("Bench.ini"));

    QElapsedTimer first;
    first.start();
    const QString caption = kv::GetCaption(10017, QStringLiteral("Play"));
    const double firstMs = first.nsecsElapsed() / 1e6;
    if (caption != QStringLiteral("Bench Play")) {
        std::fprintf(stderr, "wrong caption: %s\n", qPrintable(caption));
        return 1;
    }
    const auto table = kv::CaptionTable();
    std::vector<double> perLookup;
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer t;
        t.start();
        for (int r = 0; r < rounds; ++r) {
            for (const kv::CaptionEntry& e : table)
                kv::GetCaption(e.key, QString::fromLatin1(e.defaultText));
        }
        perLookup.push_back(t.nsecsElapsed() / 1e3 / (double(rounds) * table.size()));
    }
    std::sort(perLookup.begin(), perLookup.end());
    std::printf("language file: %lld bytes\n", static_cast<long long>(text.size()));
    std::printf("first look-up (read and parse): %.2f ms\n", firstMs);
    std::printf("per look-up after it:           %.2f us (median of 9 x %d look-ups)\n",
                perLookup[4], rounds * static_cast<int>(table.size()));
    return 0;
}
