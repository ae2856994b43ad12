// Loads the window in a fresh process and prints what start-up did, one fact a line, for
// EngineStartupTest, which runs it without a sound server.
#include "app/frmMain.h"
#include "engine/AudioEngine.h"
#include "settings/ProgramFolder.h"
#include "ui/MessageBox.h"

#include <QApplication>

#include <cstdio>

namespace {
// Prints each box on one line and answers Ok.
class PrintedBoxes final : public kv::MessageBoxes {
public:
    kv::MsgResult show(QWidget*, const kv::MessageRequest& r) override {
        QString text = r.text;
        text.replace(QLatin1Char('\r'), QLatin1String("\\r"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"));
        std::printf("BOX %d|%s|%s\n", int(r.icon), qPrintable(r.title), qPrintable(text));
        return kv::MsgResult::Ok;
    }
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    kv::SetProgramFolder(QStringLiteral(KV_PROGRAM_DIR));
    PrintedBoxes boxes;
    kv::SetMessageBoxes(&boxes);
    std::printf("TAGS BEFORE %d\n", int(kv::WMATagNames().size()));
    {
        kv::frmMain w;
        bool closed = false;
        QObject::connect(&w, &kv::frmMain::closing, [&closed] { closed = true; });
        const bool loaded = w.load();
        std::printf("LOAD %d\nLOADING %d\nSTARTED %d\nCLOSED %d\nTAGS AFTER %d\n", int(loaded),
                    int(w.bLoading), int(kv::AudioEngineStarted()), int(closed),
                    int(kv::WMATagNames().size()));
    }
    std::fflush(stdout);
    kv::SetMessageBoxes(nullptr);
    return 0;
}
