#pragma once

#include "app/FormatPages.h"
#include "convert/BatchDriver.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/FileListModel.h"
#include "ui/Theme.h"

#include <QHash>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QLineEdit;
class QRadioButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;
class QTimer;

namespace kv {

class FileAdder;
class PathExpander;
class FramePanel;
class PreviewControls;
class OptionsPanel;
class WindowsMediaOutput;
class MyButton;
class PanelAnimation;
class Slider;

class frmMain;

// Adding from the window: a new row clears the select-all box, a failure shows the error box.
class WindowAddFileHost final : public AddFileHost {
public:
    explicit WindowAddFileHost(frmMain* window);
    void ClearSelectAll() override;
    void ShowAddFileError(const QString& text) override;
    void ProbeFailed(const QString& path) override;

private:
    frmMain* window_;
};

// The program's one window. It owns the file list, the conversion state and every control
// whose value is an output setting; the subsystems read those controls when they need them.
class frmMain : public QWidget {
    Q_OBJECT
public:
    // `maxJobs` is the most files at once the options panel offers: one per core unless given.
    explicit frmMain(QWidget* parent = nullptr, int maxJobs = JobsPerCore());
    ~frmMain() override;

    // The start-up sequence. False when the program must end at once (no window is shown).
    bool load();

    // Window-level state.
    bool bLoading = false;
    bool IsConverting = false;
    ThemePalette theme;

    // The file last previewed, and how to stop its preview (set by the preview player).
    QString PreviewPath;
    std::function<void()> StopPreview;
    // The preview buttons' logic (PreviewControls.h).
    PreviewControls* preview() const { return preview_; }

    FileListModel* fileListModel() const { return model_; }
    // The table row shown at a row of the grid (the grid may be sorted); -1 for none.
    int TableRowOfGridRow(int gridRow) const;
    FileListTable* fileList() const { return model_->table(); }

    // Creates the window's table; false when it could not be opened (the list stays unusable).
    bool CreateFileListTable();
    bool LayoutFileGrid();
    void SetCaptions();
    // Captions that show a state rather than a text of the language ("Stop" on the running
    // batch's button, "Resume" on a paused preview): SetCaptions runs these last, so a
    // language switch never wipes the state out.
    void AddStateCaptions(std::function<void()> apply);
    void FillLanguageList();
    void ComboLang_Click();
    // Adds one file to the list (see filelist/AddFile2Grid.h); normalises the path in place.
    bool AddFile2Grid(QString& sFilePath);

    // Controls named by the program, in arrays where it has arrays.
    FramePanel *frMain = nullptr, *MyFrame1 = nullptr, *frAbout = nullptr, *frFormats = nullptr;
    // The pages of the described four formats by optFileFormat, and the WMA notice at 4.
    std::array<FramePanel*, 5> frFormat{};
    // The pages of the formats encoded in-process, in the order of EncodedFormats().
    std::vector<FormatPageControls> encodedPages;
    // The page of a format button (never the WMA notice); nullptr for no such format.
    FramePanel* FormatPage(int format) const;
    QTableView* Grid = nullptr;
    QComboBox* ComboLang = nullptr;
    MyButton *cmdAbout = nullptr, *MyButton1 = nullptr, *cmdMinimize = nullptr, *cmdClose = nullptr;
    MyButton *cmdAddFile = nullptr, *cmdAddVideoFile = nullptr, *cmdAddFolder = nullptr;
    MyButton *cmdRemove = nullptr, *cmdPlay = nullptr, *cmdPause = nullptr, *cmdStop = nullptr;
    MyButton *cmdPlayPrev = nullptr, *cmdPlayNext = nullptr;
    MyButton *cmdBrowse = nullptr, *cmdChangeFormat = nullptr;
    MyButton *cmdConvert = nullptr, *cmdConvertSelected = nullptr;
    MyButton *cmdCloseHelp = nullptr, *cmdDefaults = nullptr, *cmdHide = nullptr;
    MyButton *cmdDownloadWMF = nullptr, *cmdOpenWMSite = nullptr;
    QCheckBox *chkSelectAll = nullptr, *chkShutdown = nullptr, *chkWMAFileTags = nullptr;
    QCheckBox* chkCopyTags = nullptr;
    QCheckBox* chkSubfolders = nullptr; // Add Folder and drops take the sub-folders too
    QRadioButton *optSameFolder = nullptr, *optOtherFolder = nullptr;
    std::vector<QRadioButton*> optFileFormat; // by optFileFormat value, 0 up to LastFormatId()
    QRadioButton *optMP3CBR = nullptr, *optMP3VBR = nullptr, *optMP3ABR = nullptr;
    QRadioButton *optOGGCBR = nullptr, *optOGGVBR = nullptr;
    QLineEdit* txtOutPath = nullptr;
    std::array<QLineEdit*, 8> txtWMATags{};
    QComboBox *cmbMP3CBitrate = nullptr, *cmbMP3ABitrate = nullptr, *cmbMP3Freq = nullptr;
    QComboBox *cmbMP3StereoMode = nullptr, *cmbOGGCBitrate = nullptr, *cmbOGGVBitrate = nullptr;
    QComboBox* cmbWMAEncodingBitrate = nullptr;
    QSpinBox* spnSimultaneous = nullptr; // files converted at once, 1 up to the cores
    QLabel *lblFormat = nullptr, *lblVer = nullptr, *lblWebSite = nullptr;
    QLabel *lblWMAQuality = nullptr, *lblMP3VBREncodSlider = nullptr, *lblMP3EncodSlider = nullptr;
    QLabel* lblSliderOGG = nullptr;
    Slider *sliderWMA = nullptr, *sliderOGG = nullptr;
    Slider *SliderMP3VBR = nullptr, *SliderMP3EncoderQuality = nullptr;
    QTimer* tmrAnimate = nullptr;

    // Where the format sliders sit on their panels.
    static constexpr QRect kSliderWMARect{10, 31, 372, 20};
    static constexpr QRect kSliderMP3VBRRect{185, 72, 195, 20};
    static constexpr QRect kSliderMP3EncoderQualityRect{130, 116, 208, 20};
    static constexpr QRect kSliderOGGRect{10, 85, 217, 20};

    // Batch conversion (frmMainBatch.cpp).
    QString CurrentFile;
    int CurrentRow = -1; // table row showing CurrentFile, -1 for none
    BatchDriver* batch() const { return batch_; }
    void cmdConvert_Click();
    void cmdConvertSelected_Click();
    void EnableControls(bool enabled);
    void FindGridRow();
    // The output options as the controls show them now.
    ConversionOptions CurrentConversionOptions() const;

Q_SIGNALS:
    // A batch has ended and the buttons are back; `anyStarted` as the batch reported it.
    void batchEnded(bool anyStarted);
    // Raised once by the close sequence, before the window goes.
    void closing();
    // load() failed for good: raised before the box that says so, which holds the program.
    void startFailed();

public Q_SLOTS:
    void cmdClose_Click();
    void cmdMinimize_Click();
    void chkSelectAll_Click();
    void cmdRemove_Click();
    void Grid_DblClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMainPanel();
    void buildAboutPanel();
    void buildFormatsPanel(int maxJobs);
    void buildFormatPanels();
    // Places a control at its design position; right-to-left reading mirrors it.
    template <class W> W* place(W* widget, const char* name, const QRect& rect);
    QLabel* label(QWidget* parent, const char* name, const QRect& rect, const QString& text = {});
    MyButton* button(QWidget* parent, const char* name, const QRect& rect,
                     const QString& text = {});
    void placePanels();
    void setupBatch();
    void startStop(MyButton* own, MyButton* other, bool checkedOnly, const QString& idleCaption);
    void onBatchFileStarted(FileListRowId id, const QString& source);
    void onBatchProgress(FileListRowId id, double percent);
    void onBatchFileFinished(FileListRowId id, FileOutcome outcome, const QString& reason);
    void onBatchFinished(bool anyStarted);
    void pushConversionOptions();
    void applyReadingOrder(bool rightToLeft);
    // The window that started the engine releases it, once.
    void releaseEngine();

    FileListModel* model_ = nullptr;
    BatchDriver* batch_ = nullptr;
    PreviewControls* preview_ = nullptr;
    MyButton* batchButton_ = nullptr; // the button that started the running batch
    MyButton* batchOther_ = nullptr;
    QString batchIdleCaption_;
    bool batchStopping_ = false; // Stop was clicked; the worker is finishing its file
    std::vector<std::function<void()>> stateCaptions_;
    QSortFilterProxyModel* gridOrder_ = nullptr;
    QHash<QWidget*, QRect> designRects_;
    // Whether the controls stand mirrored. Qt's own right-to-left translation may have turned
    // the window's direction already, so that alone cannot tell.
    bool mirrored_ = false;
    QStringList languageFiles_;
    bool closed_ = false;
    bool ownsEngine_ = false;
    // Manual move when the window system cannot move the window itself.
    bool dragging_ = false;
    QPoint dragOffset_;

    // Adding from the pickers, the folder button and drops on the grid (frmMainAdding.cpp).
public:
    // Adds the given full paths, or the files chosen in the audio dialog when none are given;
    // refused paths end in one summary warning.
    void AddAudioFiles(const QStringList& selection = {});
    void AddVideoFiles();
    void cmdAddFolder_Click();
    // Files dropped on the grid: added in order, refusals not reported.
    void Grid_DropFiles(const QStringList& paths);
    // Whether a folder added or dropped brings its sub-folders' files too.
    bool includeSubfolders() const;
    FileAdder* fileAdder() const { return adder_; }
    // Turns discs among the picked paths into their tracks, away from the window's thread.
    PathExpander* pathExpander() const { return expander_; }
    // The strip over the grid that shows an add under way.
    QFrame* frAdding = nullptr;
    QLabel* lblAdding = nullptr;
    QProgressBar* prgAdding = nullptr;

    // Output settings and the options panel (the logic is in OptionsPanel).
    OptionsPanel* optionsPanel() const { return options_; }
    void LoadSettings();
    void SaveSettings();
    void UpdateFormatSummary();
    void cmdBrowse_Click();
    void cmdDefaults_Click();
    void cmdChangeFormat_Click();
    void cmdHide_Click();

    // WMA output: tags rule, bitrate list, support check and install offer.
    WindowsMediaOutput* wmaOutput() const { return wma_; }

    // The sliding panels, the manual and the maker's web page.
    PanelAnimation* animation() const { return animation_; }
    void cmdAbout_Click();
    void cmdCloseHelp_Click();
    void MyButton1_Click();
    void lblWebSite_Click();

    // Paths given on the command line or handed over by a second launch: added as "Add
    // Folder..." adds, a folder as the files directly inside it, the refused ones named in
    // its summary warning.
    void AddPaths(const QStringList& paths);
    // A second launch's paths: added, and the window comes to the front.
    void AcceptHandOver(const QStringList& paths);

private:
    OptionsPanel* options_ = nullptr;
    PanelAnimation* animation_ = nullptr;
    WindowsMediaOutput* wma_ = nullptr;
    void installAdding();
    void stopAdding();
    void showAddingProgress(int done, int total);
    FileAdder* adder_ = nullptr;
    PathExpander* expander_ = nullptr;
    QTimer* tmrAddingShow_ = nullptr;
};

} // namespace kv
