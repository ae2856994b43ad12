#include "TestSupport.h"

#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

namespace kvtest {

kv::MsgResult RecordingMessageBoxes::show(QWidget*, const kv::MessageRequest& request) {
    shown.push_back(request);
    if (onShow)
        onShow(request);
    if (answers.empty())
        return kv::MsgResult::Ok;
    const kv::MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

QStringList ScriptedDialogs::chooseFiles(QWidget*, const QString& title,
                                         const std::vector<kv::DialogFilter>& filters) {
    fileTitles << title;
    lastFilters = filters;
    if (files.empty())
        return {};
    QStringList answer = files.front();
    files.pop_front();
    return answer;
}

QString ScriptedDialogs::chooseFolder(QWidget*, const QString& title) {
    folderTitles << title;
    if (folders.empty())
        return {};
    QString answer = folders.front();
    folders.pop_front();
    return answer;
}

bool DeliverPostedEvents(int ms) {
    bool reached = false;
    QObject marker;
    QMetaObject::invokeMethod(
        &marker, [&reached] { reached = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&] { return reached; }, ms);
}

PrivateHome::PrivateHome() : env(QProcessEnvironment::systemEnvironment()) {
    QDir().mkdir(runtime());
    QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("HOME"), path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

void PrivateHome::start(QProcess& p, const QString& program, const QStringList& args,
                        const std::function<void()>& inChild) const {
    p.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        p.setWorkingDirectory(workingDir);
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(program, args);
}

ProgramRun PrivateHome::run(const QString& program, const QStringList& args,
                            const std::function<void()>& inChild, int timeoutMs) const {
    QProcess p;
    start(p, program, args, inChild);
    return Finished(p, timeoutMs);
}

ProgramRun Finished(QProcess& p, int timeoutMs) {
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return r;
}

ProgramFolderFixture::ProgramFolderFixture() {
    QDir().mkpath(langFolder());
    kv::SetProgramFolder(path());
    ClearUserSettings();
}

ProgramFolderFixture::~ProgramFolderFixture() {
    kv::SetProgramFolder(QString());
    ClearUserSettings();
}

void ProgramFolderFixture::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString full = path() + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

void ProgramFolderFixture::copyShippedLanguages() const {
    const QDir src(SourceDataFolder() + QStringLiteral("/Lang"));
    for (const QString& name : src.entryList(QDir::Files))
        QFile::copy(src.filePath(name), langFolder() + QLatin1Char('/') + name);
}

void ClearUserSettings() {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvanto"),
                QStringLiteral("Kelvanto"));
    s.clear();
    s.sync();
    QFile::remove(OutputSettingsFile());
}

namespace {
const QByteArray kOutputSection = "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]";
}

// Written and read as plain lines, not through the program's own reader.
void StoreOutputSettings(const StoredValues& values, const QString& file) {
    QByteArray text = kOutputSection + '\n';
    for (const auto& [name, value] : values)
        text += name.toUtf8() + '=' + value.toUtf8() + '\n';
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text);
}

StoredValues StoredOutputSettings(const QString& file) {
    QFile f(file);
    StoredValues values;
    if (!f.open(QIODevice::ReadOnly))
        return values;
    bool inSection = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith('['))
            inSection = line == kOutputSection;
        else if (inSection && line.contains('='))
            values[QString::fromUtf8(line.left(line.indexOf('=')))] =
                QString::fromUtf8(line.mid(line.indexOf('=') + 1));
    }
    return values;
}

QString OutputSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvanto/Settings.ini");
}

QString SourceDataFolder() {
    return QStringLiteral(KV_SOURCE_DIR "/data");
}

namespace {
constexpr int kFileOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

// Raw system calls: they change the calling thread alone, where the C library's wrappers
// would change every thread.
void clearThreadCapabilities(bool keepPermitted) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    for (auto& d : data) {
        d.effective = 0;
        d.inheritable = 0;
        if (!keepPermitted)
            d.permitted = 0;
    }
    syscall(SYS_capset, &header, data);
}
} // namespace

void RunWithoutFileOverrides(const std::function<void()>& fn) {
    std::thread worker([&] {
        clearThreadCapabilities(true);
        fn();
    });
    worker.join();
}

bool KilledMidLoop(int readyAfter, const std::function<bool(int)>& step) {
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        for (int i = 0;; ++i) {
            if (!step(i) || (i == readyAfter && ::write(ready[1], "x", 1) != 1))
                ::_exit(1);
        }
    }
    ::close(ready[1]);
    char c;
    const bool said = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    return ::waitpid(child, &status, 0) == child && said && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

void OpenFifoWriters(const QStringList& fifos) {
    for (const QString& fifo : fifos) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
}

void WithinSeconds(int seconds, const std::function<void()>& fn) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([&fn, done] {
        fn();
        done->set_value();
    }).detach();
    if (finished.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready)
        return;
    std::fprintf(stderr, "FAILED: still running after %d s\n", seconds);
    std::fflush(nullptr);
    std::_Exit(1);
}

void DropFileOverridesForExec() {
    // Root regains at exec what the bounding set allows; take the overrides out of it.
    for (int capability : kFileOverrides)
        prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    clearThreadCapabilities(false);
}

} // namespace kvtest
