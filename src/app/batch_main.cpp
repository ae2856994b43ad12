// kelvanto-batch: the file list without a window. Adds each path as the window would and
// prints the resulting list, one row a line; with --convert, converts the list first through
// the window's own batch driver.
#include "app/BatchOptions.h"
#include "app/BatchRun.h"
#include "settings/NativePath.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The window's names, so the tool reads the settings the window saved.
    QCoreApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    // Fields for scripts: numbers as "4.88", whatever the user's regional settings.
    QLocale::setDefault(QLocale::c());

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    kv::BatchRequest request;
    QString error;
    if (!kv::ParseBatchCommandLine(arguments, request, error)) {
        if (arguments.isEmpty())
            std::fputs("Usage: kelvanto-batch [options] [--] PATH...\n", stderr);
        else
            std::fprintf(stderr, "kelvanto-batch: %s\n",
                         kv::PrintableText(error).toUtf8().constData());
        std::fputs("Try 'kelvanto-batch --help' for more information.\n", stderr);
        return kv::kBatchExitUsage;
    }
    switch (request.command) {
    case kv::BatchRequest::Command::Help:
        std::fputs(kv::BatchHelpText().toLocal8Bit().constData(), stdout);
        return kv::kBatchExitDone;
    case kv::BatchRequest::Command::Version:
        std::printf("kelvanto-batch %d.%d.%d\n", KV_VERSION_MAJOR, KV_VERSION_MINOR,
                    KV_VERSION_REVISION);
        return kv::kBatchExitDone;
    case kv::BatchRequest::Command::Run:
        break;
    }
    return kv::RunBatch(request);
}
