// Output naming with random names, extensions and folders, among files that are already
// there: a name given is new and empty, nothing that existed is touched, and a claim given up
// leaves nothing behind.
#include "FuzzSupport.h"

#include "convert/OutputNaming.h"

#include <QDir>
#include <QFileInfo>

#include <fuzzer/FuzzedDataProvider.h>

#include <map>

namespace {

// A name below the scratch tree: ".." cannot climb out and NUL cannot cut the path short.
QString below(const QString& root, FuzzedDataProvider& in) {
    QString rel = QString::fromStdString(in.ConsumeRandomLengthString(80));
    rel.remove(QChar(0));
    QStringList parts = rel.split(QLatin1Char('/'));
    for (QString& p : parts)
        if (p == QLatin1String(".."))
            p = QStringLiteral("up");
    return root + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString root = kvfuzz::scratch() + QStringLiteral("/tree");
    QDir(root).removeRecursively();
    QDir().mkpath(root);

    // Files (and a folder) that were there before the run.
    std::map<QString, QByteArray> before;
    const int existing = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < existing; ++i) {
        const QString path = below(root, in);
        if (in.ConsumeBool()) {
            QDir().mkpath(path);
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::NewOnly) && f.write("keep") == 4)
            before[path] = "keep";
    }

    const QString source = below(root, in);
    // Extensions are the program's own ("mp3", "wav"...): letters and digits only.
    QString extension = QString::fromStdString(in.ConsumeRandomLengthString(6));
    extension.removeIf([](QChar c) { return !c.isLetterOrNumber(); });
    kv::OutputFolderChoice choice;
    choice.sameFolder = in.ConsumeBool();
    choice.outPath = below(root, in);

    const kv::OutputName first = kv::GetOutputFileName(source, extension, choice);
    const kv::OutputName second = kv::GetOutputFileName(source, extension, choice);
    for (const kv::OutputName* n : {&first, &second}) {
        if (n->outcome != kv::OutputName::Outcome::Ok || !n->claim.isValid())
            continue;
        KV_FUZZ_CHECK(n->path.startsWith(root + QLatin1Char('/')));
        KV_FUZZ_CHECK(!before.count(n->path));
        const QFileInfo made(n->path);
        if (qEnvironmentVariableIsSet("KV_FUZZ_DEBUG"))
            std::fprintf(stderr, "source %s ext %s same %d out %s -> %s (%d %lld)\n",
                         qPrintable(source), qPrintable(extension), int(choice.sameFolder),
                         qPrintable(choice.outPath), qPrintable(n->path), int(made.isFile()),
                         made.size());
        KV_FUZZ_CHECK(made.isFile() && made.size() == 0);
    }
    if (first.claim.isValid() && second.claim.isValid())
        KV_FUZZ_CHECK(first.path != second.path);

    for (const auto& [path, text] : before)
        KV_FUZZ_CHECK(contents(path) == text);
    kv::ReleaseOutputClaim(first);
    kv::ReleaseOutputClaim(second);
    for (const kv::OutputName* n : {&first, &second})
        if (n->claim.isValid())
            KV_FUZZ_CHECK(!QFileInfo::exists(n->path));
    for (const auto& [path, text] : before)
        KV_FUZZ_CHECK(contents(path) == text);

    const QString joined = kv::NormalizeSeparators(source);
    KV_FUZZ_CHECK(kv::NormalizeSeparators(joined) == joined);
    return 0;
}
