#pragma once

#include "QtPrinters.h"

#include "filelist/AddFile2Grid.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <QStringList>

#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <type_traits>
#include <utility>
#include <ostream>
#include <vector>

namespace kvtest {

// Memory ceilings measure our own use; a build under AddressSanitizer adds its shadow memory
// and redzones to every process of it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kMemoryCeilingScale = 2;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int kMemoryCeilingScale = 2;
#else
inline constexpr int kMemoryCeilingScale = 1;
#endif
#else
inline constexpr int kMemoryCeilingScale = 1;
#endif

// Records every message box and answers from a queue (Ok when the queue is empty).
class RecordingMessageBoxes final : public kv::MessageBoxes {
public:
    RecordingMessageBoxes() { kv::SetMessageBoxes(this); }
    ~RecordingMessageBoxes() override { kv::SetMessageBoxes(nullptr); }

    kv::MsgResult show(QWidget* parent, const kv::MessageRequest& request) override;

    std::vector<kv::MessageRequest> shown;
    std::deque<kv::MsgResult> answers;
    // Runs while a box is up, for looking at the program at that moment.
    std::function<void(const kv::MessageRequest&)> onShow;
};

// Answers the pickers from queues (an empty queue is a cancel) and records what was asked.
class ScriptedDialogs final : public kv::FileDialogs {
public:
    ScriptedDialogs() { kv::SetFileDialogs(this); }
    ~ScriptedDialogs() override { kv::SetFileDialogs(nullptr); }
    QStringList chooseFiles(QWidget* parent, const QString& title,
                            const std::vector<kv::DialogFilter>& filters) override;
    QString chooseFolder(QWidget* parent, const QString& title) override;

    std::deque<QStringList> files;
    std::deque<QString> folders;
    QStringList fileTitles, folderTitles;
    std::vector<kv::DialogFilter> lastFilters;
};

// Records what adding files told the list's host; one the adder owns records into the test's.
class RecordingAddHost final : public kv::AddFileHost {
public:
    RecordingAddHost() = default;
    RecordingAddHost(QStringList* errors, int* cleared) : errorsTo_(errors), clearedTo_(cleared) {}
    void ClearSelectAll() override { ++*clearedTo_; }
    void ShowAddFileError(const QString& text) override { *errorsTo_ << text; }
    QStringList errors;
    int cleared = 0;

private:
    QStringList* errorsTo_ = &errors;
    int* clearedTo_ = &cleared;
};

// The paths of a file list's rows, in order.
template <class Table> QStringList RowPaths(const Table& table) {
    QStringList out;
    for (int i = 0; i < table.rowCount(); ++i)
        out << table.row(i).FilePath;
    return out;
}

// Waits until the window has listed every folder and measured every file handed to it.
template <class Window> bool AddsSettled(Window& w, int ms = 120000) {
    // A folder is listed first, then its pick starts at once: both idle means all is done.
    return QTest::qWaitFor([&] { return !w.pathExpander()->isBusy() && !w.fileAdder()->isBusy(); },
                           ms);
}

// Handles every event posted to this thread so far, those from workers already ended included:
// what a negative check looks for after it has had its chance to arrive.
bool DeliverPostedEvents(int ms = 10000);

// A temporary program folder with its own Lang/ and clean per-user settings; the program
// folder goes back to the real one when it ends.
class ProgramFolderFixture {
public:
    ProgramFolderFixture();
    ~ProgramFolderFixture();

    // A folder inside the temporary one: files the program keeps beside its folder (the error
    // log) stay inside too.
    QString path() const { return dir_.path() + QStringLiteral("/program"); }
    QString langFolder() const { return path() + QStringLiteral("/Lang"); }
    // Writes a file, creating its folders; text is written as UTF-8.
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    // Copies the shipped language files and flags into this folder's Lang/.
    void copyShippedLanguages() const;

private:
    QTemporaryDir dir_;
};

// Removes the per-user language choice and the saved output settings.
void ClearUserSettings();

// The file the output settings are kept in.
QString OutputSettingsFile();
// The saved output settings as the file holds them: value names in their stored spelling.
// Storing replaces the whole file.
using StoredValues = std::map<QString, QString>;
void StoreOutputSettings(const StoredValues& values, const QString& file = OutputSettingsFile());
StoredValues StoredOutputSettings(const QString& file = OutputSettingsFile());

// Folder of the source tree's data/.
QString SourceDataFolder();

// How a program run in a private home ended.
struct ProgramRun {
    int exitCode = -1; // -1: crashed or still running after the bound
    QString out, err;
    QStringList lines; // the lines of `out` that are not empty
};
// Waits up to `timeoutMs` for a started program to end (killing it then) and reads its outputs.
ProgramRun Finished(QProcess& p, int timeoutMs = 120000);
// A user of their own for a child program: HOME, settings and runtime folder inside a
// temporary folder, never the real user's.
class PrivateHome {
public:
    PrivateHome();
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    QString config() const { return dir_.filePath(QStringLiteral("config")); }
    QString runtime() const { return dir_.filePath(QStringLiteral("run")); }
    QString settingsFile() const { return config() + QStringLiteral("/Kelvanto/Settings.ini"); }
    // Starts `program` in this home; `inChild` runs in the child before it executes.
    void start(QProcess& p, const QString& program, const QStringList& args,
               const std::function<void()>& inChild = {}) const;
    ProgramRun run(const QString& program, const QStringList& args,
                   const std::function<void()>& inChild = {}, int timeoutMs = 120000) const;

    QProcessEnvironment env; // HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR, offscreen; add more
    QString workingDir;      // where programs start; empty: where this one runs

private:
    QTemporaryDir dir_;
};
// The built programs.
inline QString BatchTool() {
    return QStringLiteral(KV_PROGRAM_DIR "/kelvanto-batch");
}
inline QString WindowProgram() {
    return QStringLiteral(KV_PROGRAM_DIR "/kelvanto");
}

// Runs `fn` on a thread of its own without the power to pass over file permissions, as a
// user's program runs: locked-folder cases run for real under root too.
void RunWithoutFileOverrides(const std::function<void()>& fn);
// For QProcess::setChildProcessModifier: what the child executes cannot pass over file
// permissions either, root included.
void DropFileOverridesForExec();

// Runs `fn` on a thread of its own and waits for it up to `seconds`; one still running then
// ends the test program with a failure, for a hang would hold the whole suite.
void WithinSeconds(int seconds, const std::function<void()>& fn);

// Lets a reader stuck in open() on any of these FIFOs go, by opening their other ends.
void OpenFifoWriters(const QStringList& fifos);

// Runs `read` on a thread of its own: whether it ended within `bound`, and what it gave. A
// reader stuck on one of `fifos` past the bound is let go, so a hang fails the caller without
// holding up the tests after it.
template <class Read>
std::pair<bool, std::invoke_result_t<Read>> ReadUnstuck(std::chrono::milliseconds bound,
                                                        const QStringList& fifos, Read read) {
    auto result = std::async(std::launch::async, read);
    const bool inTime = result.wait_for(bound) == std::future_status::ready;
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        OpenFifoWriters(fifos);
    return {inTime, result.get()};
}

// Runs `step(i)` for i = 0, 1, 2... in a child process and kills it (SIGKILL) once step
// `readyAfter` is done, so the kill lands inside a later step. True when the child died by
// the kill; a step that returns false ends the child early, which counts as failure.
bool KilledMidLoop(int readyAfter, const std::function<bool(int)>& step);

} // namespace kvtest
