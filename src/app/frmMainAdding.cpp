// The window's ways of adding files: the audio and video pickers, the folder button and drops
// on the grid. Every path goes through the checks of AddFile2Grid; the slow part of adding
// runs on the file adder's worker, so the window keeps painting.
#include "app/frmMain.h"

#include "app/OptionsPanel.h"
#include "engine/CdSource.h"
#include "filelist/DialogFilters.h"
#include "filelist/FileAdder.h"
#include "filelist/FileDropFilter.h"
#include "filelist/FolderListing.h"
#include "filelist/PathExpansion.h"
#include "lang/Captions.h"
#include "ui/Colors.h"
#include "ui/FileDialogs.h"
#include "ui/FramePanel.h"
#include "ui/MessageBox.h"
#include "ui/MyButton.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace kv {
namespace {

// Height of the strip that lies over the bottom of the grid's rows.
constexpr int kAddingHeight = 22;
// A short add does not flash the strip.
constexpr int kAddingShowDelayMs = 150;

QColor themeColour(std::uint32_t bgr, const QColor& fallback) {
    return bgr != 0 ? FromBgr(bgr) : fallback;
}

} // namespace

void frmMain::installAdding() {
    adder_ = new FileAdder(model_, std::make_unique<WindowAddFileHost>(this), this);
    expander_ = new PathExpander(this);

    frAdding = new QFrame(frMain);
    frAdding->setObjectName(QStringLiteral("frAdding"));
    auto* row = new QHBoxLayout(frAdding);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(8);
    lblAdding = new QLabel(frAdding);
    lblAdding->setObjectName(QStringLiteral("lblAdding"));
    prgAdding = new QProgressBar(frAdding);
    prgAdding->setObjectName(QStringLiteral("prgAdding"));
    prgAdding->setTextVisible(false);
    prgAdding->setFixedHeight(6);
    row->addWidget(lblAdding);
    row->addWidget(prgAdding, 1);
    frAdding->hide();

    tmrAddingShow_ = new QTimer(this);
    tmrAddingShow_->setSingleShot(true);
    tmrAddingShow_->setInterval(kAddingShowDelayMs);
    connect(tmrAddingShow_, &QTimer::timeout, this, [this] {
        if (!adder_->isBusy())
            return;
        // The theme is set once the window has loaded, after the strip was made.
        const QColor back = themeColour(theme.lThemeColor1, QColor(255, 192, 255));
        const QColor bar = themeColour(theme.lThemeColor3, QColor(128, 0, 128));
        const QColor text = themeColour(theme.lThemeColor4, QColor(64, 0, 64));
        frAdding->setStyleSheet(
            QStringLiteral("QFrame#frAdding { background: %1; border-top: 1px solid %2; }"
                           "QLabel#lblAdding { color: %3; background: transparent; }"
                           "QProgressBar#prgAdding { background: white; border: 1px solid %2; }"
                           "QProgressBar#prgAdding::chunk { background: %2; }")
                .arg(back.name(), bar.name(), text.name()));
        showAddingProgress(adder_->done(), adder_->total());
        frAdding->raise();
        frAdding->show();
    });
    connect(adder_, &FileAdder::busyChanged, this, [this](bool busy) {
        if (busy) {
            tmrAddingShow_->start();
        } else {
            tmrAddingShow_->stop();
            frAdding->hide();
        }
    });
    connect(adder_, &FileAdder::progress, this, &frmMain::showAddingProgress);
    connect(adder_, &FileAdder::pickFinished, this,
            [this](int, int refused, bool report, const QStringList& unreadable) {
                // Files whose names cannot be read are named, even after a drop.
                if ((!report || refused == 0) && unreadable.isEmpty())
                    return;
                QString text = QStringLiteral(
                    "Some files are not supported or already exist and will not be added");
                if (!unreadable.isEmpty())
                    text += QStringLiteral("\n\n") + unreadable.join(QLatin1Char('\n'));
                ShowMessage(this, MsgIcon::Warning, text);
            });
    // The worker measures with the engine, so it stops before the engine is released.
    connect(this, &frmMain::closing, this, &frmMain::stopAdding);

    connect(cmdAddFile, &QPushButton::clicked, this, [this] { AddAudioFiles(); });
    connect(cmdAddVideoFile, &QPushButton::clicked, this, &frmMain::AddVideoFiles);
    connect(cmdAddFolder, &QPushButton::clicked, this, &frmMain::cmdAddFolder_Click);
    connect(new FileDropFilter(Grid), &FileDropFilter::filesDropped, this,
            &frmMain::Grid_DropFiles);
}

void frmMain::stopAdding() {
    if (expander_)
        expander_->cancel();
    if (adder_)
        adder_->cancel();
}

void frmMain::showAddingProgress(int done, int total) {
    if (!lblAdding)
        return;
    lblAdding->setText(
        GetCaption(20007, QStringLiteral("Adding files... %1 / %2")).arg(done).arg(total));
    prgAdding->setRange(0, qMax(total, 1));
    prgAdding->setValue(done);
    // Over the rows only, so the scroll bar (which comes and goes with the rows) stays usable.
    const QWidget* rows = Grid->viewport();
    frAdding->setGeometry(QRect(rows->mapTo(frMain, QPoint(0, rows->height() - kAddingHeight)),
                                QSize(rows->width(), kAddingHeight)));
}

void frmMain::AddAudioFiles(const QStringList& selection) {
    QStringList paths = selection;
    if (paths.isEmpty()) {
        paths = Dialogs().chooseFiles(this, AudioDialogTitle(), AudioDialogFilters());
        if (paths.isEmpty())
            return; // cancelled
        // A CUE image picked in the dialog adds its tracks.
        expander_->expandDiscs(paths,
                               [this](const PathsToAdd& add) { adder_->add(add.paths, true); });
        return;
    }
    adder_->add(paths, true);
}

void frmMain::AddVideoFiles() {
    const QStringList paths = Dialogs().chooseFiles(this, VideoDialogTitle(), VideoDialogFilters());
    if (paths.isEmpty())
        return;
    adder_->add(paths, true);
}

void frmMain::cmdAddFolder_Click() {
    const QString folder =
        Dialogs().chooseFolder(this, GetCaption(20006, QStringLiteral("Select folder to add")));
    if (folder.isEmpty())
        return;
    // The files directly inside, and those of every sub-folder when the option asks for them.
    // A CD drive, the folder its disc is mounted on or a CUE image gives its audio tracks.
    expander_->expandFolder(folder, includeSubfolders(), [this](const PathsToAdd& add) {
        if (add.empty) {
            ShowMessage(this, MsgIcon::Warning, QStringLiteral("Selected Folder is empty."),
                        GetCaption(100024, QStringLiteral("Kelvanto")));
            return;
        }
        AddAudioFiles(add.paths);
    });
}

bool frmMain::includeSubfolders() const {
    return options_->Values().selected(OutputSetting::chkSubfolders);
}

void frmMain::Grid_DropFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // A dropped folder is passed over, unless sub-folders are asked for: then it brings its
    // whole tree, listed off the window's thread.
    const bool folders =
        includeSubfolders() && std::any_of(paths.begin(), paths.end(),
                                           [](const QString& p) { return QFileInfo(p).isDir(); });
    if (folders) {
        expander_->run(
            true,
            [paths] {
                PathsToAdd all;
                for (const QString& path : paths)
                    all.paths += QFileInfo(path).isDir() && CdSourceOf(path).isEmpty()
                                     ? ExpandPathForAdding(path, true).paths
                                     : ExpandDiscPaths({path});
                return all;
            },
            [this](const PathsToAdd& add) { adder_->add(add.paths, false); });
        return;
    }
    expander_->expandDiscs(paths, [this](const PathsToAdd& add) { adder_->add(add.paths, false); });
}

void frmMain::AddPaths(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // As "Add Folder..." would take each: a folder's files, a disc's tracks, and what is
    // refused named in its one summary warning ("Open with" on a file the list does not take
    // opens no silent empty window). Listing may read a drive, so it runs off the window's
    // thread.
    expander_->run(
        true,
        [paths] {
            PathsToAdd all;
            for (const QString& path : paths)
                all.paths += ExpandPathForAdding(path).paths;
            return all;
        },
        [this](const PathsToAdd& add) { adder_->add(add.paths, true); });
}

void frmMain::AcceptHandOver(const QStringList& paths) {
    AddPaths(paths);
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

} // namespace kv
