#include "app/frmMain.h"

#include "app/FormatSliders.h"
#include "app/OptionsPanel.h"
#include "app/PreviewControls.h"
#include "app/WindowsMediaOutput.h"
#include "controls/Slider.h"
#include "engine/AudioEngine.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/ProgressDelegate.h"
#include "lang/CaptionTable.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"
#include "lang/QtTranslations.h"
#include "settings/DeploymentSettings.h"
#include "settings/OutputSettings.h"
#include "settings/ProgramFolder.h"
#include "ui/DesktopOpener.h"
#include "ui/ElidingComboBox.h"
#include "ui/FramePanel.h"
#include "ui/MessageBox.h"
#include "ui/MyButton.h"
#include "ui/PanelAnimation.h"
#include "ui/ReadingOrder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace kv {
namespace {

// Designed sizes in pixels (15 twips each).
constexpr QSize kMainSize{728, 577};
constexpr QSize kAboutSize{483, 246};
constexpr QSize kFormatsSize{529, 290};

const char* const kTagLabels[8] = {"Label12", "Label13", "Label14", "Label15",
                                   "Label16", "Label17", "Label18", "Label19"};
// The tag boxes' design texts, by index.
const char* const kTagTexts[8] = {"Title",  "Artist",    "Album Title", "Description",
                                  "Rating", "Copyright", "Genre",       "Year"};

QComboBox* fixedList(QComboBox* combo, OutputSetting list) {
    combo->addItems(ListItems(list));
    combo->setCurrentIndex(0);
    return combo;
}

// The round numbered badge in front of each step's heading.
QPixmap stepBadge(int number, qreal dpr) {
    QPixmap pm(QSize(26, 26) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(9, 8), 16);
    g.setColorAt(0, QColor(255, 160, 255));
    g.setColorAt(1, QColor(128, 0, 128));
    p.setBrush(g);
    p.setPen(QPen(QColor(64, 0, 64), 1));
    p.drawEllipse(QRectF(1, 1, 24, 24));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(15);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 26, 26), Qt::AlignCenter, QString::number(number));
    return pm;
}

// The picture of the about panel: a note over a waveform.
QPixmap aboutPicture(qreal dpr) {
    QPixmap pm(QSize(64, 64) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 64, 64);
    g.setColorAt(0, QColor(255, 192, 255));
    g.setColorAt(1, QColor(128, 0, 128));
    p.setBrush(g);
    p.setPen(QPen(QColor(64, 0, 64), 2));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    QPainterPath wave;
    wave.moveTo(8, 44);
    for (int x = 8; x <= 56; x += 4)
        wave.lineTo(x, 44 + ((x / 4) % 2 ? -6 : 6) * ((x % 12) ? 1 : 0.4));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2));
    p.drawPath(wave);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(18, 26, 10, 8));
    p.drawEllipse(QRectF(36, 22, 10, 8));
    p.drawLine(QPointF(27, 30), QPointF(27, 10));
    p.drawLine(QPointF(45, 26), QPointF(45, 8));
    p.drawLine(QPointF(27, 10), QPointF(45, 8));
    return pm;
}

QString captionDefault(const char* text) {
    return QString::fromUtf8(text);
}

// Each set of option buttons excludes only its own members: a panel's automatic grouping takes
// in the buttons of the pages lying on it, so a click on the chosen format could clear it.
void exclusiveGroup(QObject* owner, std::initializer_list<QRadioButton*> options) {
    auto* group = new QButtonGroup(owner);
    for (QRadioButton* option : options)
        group->addButton(option);
}

} // namespace

frmMain::frmMain(QWidget* parent, int maxJobs)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    UseReadingOrderStyle();
    setObjectName(QStringLiteral("frmMain"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    model_ = new FileListModel(this);
    tmrAnimate = new QTimer(this);
    tmrAnimate->setObjectName(QStringLiteral("tmrAnimate"));
    tmrAnimate->setInterval(10);

    buildMainPanel();
    buildFormatsPanel(maxJobs);
    buildAboutPanel();
    options_ = new OptionsPanel(*this);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmMain::cmdBrowse_Click);
    connect(cmdDefaults, &QPushButton::clicked, this, &frmMain::cmdDefaults_Click);
    connect(cmdChangeFormat, &QPushButton::clicked, this, &frmMain::cmdChangeFormat_Click);
    connect(cmdHide, &QPushButton::clicked, this, &frmMain::cmdHide_Click);
    wma_ = new WindowsMediaOutput(*this);
    animation_ = new PanelAnimation(tmrAnimate, frMain, this);
    PanelAnimation::Park(frFormats);
    PanelAnimation::Park(frAbout);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdCloseHelp, &QPushButton::clicked, this, &frmMain::cmdCloseHelp_Click);
    connect(MyButton1, &QPushButton::clicked, this, &frmMain::MyButton1_Click);
    setupBatch();
    preview_ = new PreviewControls(*this);
    // A paused preview keeps "Resume" in the new language.
    AddStateCaptions([this] {
        if (preview_)
            cmdPause->setText(preview_->captionForState());
    });
    resize(kMainSize);
}

frmMain::~frmMain() {
    stopAdding();
    // The preview's decoder is done before the engine goes.
    delete preview_;
    preview_ = nullptr;
    releaseEngine();
}

void frmMain::releaseEngine() {
    if (ownsEngine_)
        ReleaseAudioEngine();
    ownsEngine_ = false;
}

template <class W> W* frmMain::place(W* widget, const char* name, const QRect& rect) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    designRects_.insert(widget, rect);
    return widget;
}

QLabel* frmMain::label(QWidget* parent, const char* name, const QRect& rect, const QString& text) {
    auto* l = place(new QLabel(text, parent), name, rect);
    l->setWordWrap(rect.height() > 24);
    return l;
}

MyButton* frmMain::button(QWidget* parent, const char* name, const QRect& rect,
                          const QString& text) {
    return place(new MyButton(text, parent), name, rect);
}

void frmMain::buildMainPanel() {
    frMain = place(new FramePanel(this), "frMain", QRect(QPoint(0, 0), kMainSize));
    frMain->installEventFilter(this);
    QWidget* p = frMain;

    // Title bar: language picker and the window's own buttons.
    ComboLang = place(new QComboBox(p), "ComboLang", QRect(470, 2, 150, 20));
    ComboLang->setIconSize(QSize(20, 13));
    cmdAbout = button(p, "cmdAbout", QRect(628, 2, 22, 20), QStringLiteral("i"));
    MyButton1 = button(p, "MyButton1", QRect(652, 2, 22, 20), QStringLiteral("?"));
    cmdMinimize = button(p, "cmdMinimize", QRect(676, 2, 22, 20), QStringLiteral("_"));
    cmdClose = button(p, "cmdClose", QRect(700, 2, 22, 20), QString::fromUtf8("\xC3\x97"));
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    connect(cmdMinimize, &QPushButton::clicked, this, &frmMain::cmdMinimize_Click);
    connect(ComboLang, qOverload<int>(&QComboBox::activated), this, [this] { ComboLang_Click(); });

    MyFrame1 = place(new FramePanel(p), "MyFrame1", QRect(6, 30, 716, 26));
    MyFrame1->setForeColor(Qt::white); // the strip keeps its own colours under the theme

    const qreal dpr = devicePixelRatioF();
    auto badge = [&](int n, int y) {
        auto* b = place(new QLabel(p), "", QRect(10, y, 26, 26));
        b->setObjectName(QStringLiteral("step%1").arg(n));
        b->setPixmap(stepBadge(n, dpr));
    };

    // Step 1: add files.
    badge(1, 62);
    QFont heading = font();
    heading.setBold(true);
    label(p, "Label1", QRect(40, 64, 380, 22))->setFont(heading);
    // Above the hint, in line with the heading: how Add Folder and a dropped folder list.
    chkSubfolders = place(new QCheckBox(p), "chkSubfolders", QRect(428, 62, 290, 22));
    cmdAddFile = button(p, "cmdAddFile", QRect(40, 90, 120, 26));
    cmdAddVideoFile = button(p, "cmdAddVideoFile", QRect(166, 90, 120, 26));
    cmdAddFolder = button(p, "cmdAddFolder", QRect(292, 90, 128, 26));
    label(p, "Label9", QRect(428, 86, 290, 34));

    Grid = place(new QTableView(p), "Grid", QRect(10, 122, 708, 214));
    gridOrder_ = new QSortFilterProxyModel(this);
    gridOrder_->setSourceModel(model_);
    gridOrder_->setSortRole(FileListModel::SortRole);
    // A sorted grid keeps its order while statuses change, so rows do not jump under the
    // mouse during a batch; a header click sorts again.
    gridOrder_->setDynamicSortFilter(false);
    Grid->setModel(gridOrder_);
    Grid->setItemDelegate(new ProgressDelegate(Grid));
    Grid->setAcceptDrops(true);
    connect(Grid, &QAbstractItemView::doubleClicked, this, &frmMain::Grid_DblClick);

    chkSelectAll = place(new QCheckBox(p), "chkSelectAll", QRect(12, 342, 150, 22));
    cmdRemove = button(p, "cmdRemove", QRect(166, 340, 124, 26));
    // clicked, not toggled: setting the box from code leaves the rows' marks alone.
    connect(chkSelectAll, &QCheckBox::clicked, this, &frmMain::chkSelectAll_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmMain::cmdRemove_Click);
    cmdPlayPrev = button(p, "cmdPlayPrev", QRect(314, 340, 96, 26));
    cmdPlay = button(p, "cmdPlay", QRect(414, 340, 76, 26));
    cmdPause = button(p, "cmdPause", QRect(494, 340, 72, 26));
    cmdStop = button(p, "cmdStop", QRect(570, 340, 56, 26));
    cmdPlayNext = button(p, "cmdPlayNext", QRect(630, 340, 88, 26));

    auto* line1 = place(new QFrame(p), "Line1", QRect(10, 374, 708, 2));
    line1->setFrameShape(QFrame::HLine);

    // Step 2: output folder and format.
    badge(2, 382);
    label(p, "Label4", QRect(40, 384, 380, 22))->setFont(heading);
    label(p, "Label5", QRect(40, 412, 108, 22));
    optSameFolder = place(new QRadioButton(p), "optSameFolder", QRect(148, 412, 216, 22));
    optOtherFolder = place(new QRadioButton(p), "optOtherFolder", QRect(364, 412, 140, 22));
    exclusiveGroup(this, {optSameFolder, optOtherFolder});
    txtOutPath = place(new QLineEdit(p), "txtOutPath", QRect(148, 438, 468, 24));
    cmdBrowse = button(p, "cmdBrowse", QRect(622, 437, 96, 26));
    label(p, "Label8", QRect(40, 472, 108, 22));
    lblFormat = label(p, "lblFormat", QRect(148, 472, 468, 22));
    cmdChangeFormat = button(p, "cmdChangeFormat", QRect(622, 470, 96, 26));

    auto* line2 = place(new QFrame(p), "Line2", QRect(10, 504, 708, 2));
    line2->setFrameShape(QFrame::HLine);

    // Step 3: convert.
    badge(3, 514);
    label(p, "Label6", QRect(40, 516, 250, 22))->setFont(heading);
    cmdConvert = button(p, "cmdConvert", QRect(300, 512, 136, 32));
    cmdConvertSelected = button(p, "cmdConvertSelected", QRect(442, 512, 136, 32));
    chkShutdown = place(new QCheckBox(p), "chkShutdown", QRect(40, 548, 400, 22));

    // The add buttons, drops on the grid and the strip that shows an add under way.
    installAdding();
}

void frmMain::buildAboutPanel() {
    frAbout = place(new FramePanel(this), "frAbout", QRect(QPoint(0, 0), kAboutSize));
    QWidget* p = frAbout;
    auto* picture = place(new QLabel(p), "Picture1", QRect(16, 38, 64, 64));
    picture->setPixmap(aboutPicture(devicePixelRatioF()));
    QLabel* title = label(p, "Label38", QRect(96, 34, 372, 26));
    QFont big = font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    title->setFont(big);
    lblVer = label(p, "lblVer", QRect(96, 62, 200, 18));
    label(p, "Label39", QRect(96, 84, 372, 78));
    label(p, "Label40", QRect(96, 166, 92, 18));
    label(p, "lblRights", QRect(188, 166, 280, 18));
    lblWebSite = label(p, "lblWebSite", QRect(96, 188, 280, 18));
    lblWebSite->setCursor(Qt::PointingHandCursor);
    lblWebSite->installEventFilter(this);
    QFont link = lblWebSite->font();
    link.setUnderline(true);
    lblWebSite->setFont(link);
    cmdCloseHelp = button(p, "cmdCloseHelp", QRect(378, 210, 92, 26));
}

void frmMain::buildFormatsPanel(int maxJobs) {
    frFormats = place(new FramePanel(this), "frFormats", QRect(QPoint(0, 0), kFormatsSize));
    QWidget* p = frFormats;
    label(p, "Label10", QRect(12, 30, 300, 20));
    // For every format, so it sits above the pages, at their right edge.
    label(p, "lblSimultaneous", QRect(318, 30, 148, 20))
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spnSimultaneous = place(new QSpinBox(p), "spnSimultaneous", QRect(470, 28, 46, 22));
    spnSimultaneous->setRange(1, std::clamp(maxJobs, 1, kMaxJobs));
    // One column of buttons, the described four first; room for seven above chkCopyTags.
    const QStringList& formats = ListItems(OutputSetting::optFileFormat);
    auto* formatGroup = new QButtonGroup(this);
    for (int i = 0; i <= LastFormatId(); ++i) {
        const Format* encoded = FormatOf(i);
        auto* option = place(new QRadioButton(encoded ? encoded->name() : formats.value(i), p),
                             "optFileFormat", QRect(14, 54 + i * 28, 76, 22));
        option->setProperty("Index", i);
        formatGroup->addButton(option);
        optFileFormat.push_back(option);
    }
    // Each in-process format's page from its own description, under the described pages.
    const QRect pageRect(98, 52, 419, 190);
    const PlaceControl placeControl = [this](QWidget* w, const QString& name, const QRect& at) {
        place(w, "", at)->setObjectName(name);
    };
    for (const Format* f : EncodedFormats())
        encodedPages.push_back(BuildFormatPage(*f, p, pageRect, placeControl));
    for (int i = 0; i < 5; ++i) {
        frFormat[i] = place(new FramePanel(p), "frFormat", pageRect);
        frFormat[i]->setProperty("Index", i);
    }
    buildFormatPanels();
    frFormat[4]->hide();
    // For every format, so it sits beside the pages rather than on one of them.
    chkCopyTags = place(new QCheckBox(p), "chkCopyTags", QRect(12, 256, 220, 20));
    cmdDefaults = button(p, "cmdDefaults", QRect(236, 252, 136, 28));
    cmdHide = button(p, "cmdHide", QRect(380, 252, 136, 28));
}

void frmMain::buildFormatPanels() {
    // WAV: only the note.
    label(frFormat[0], "Label22", QRect(10, 10, 399, 60));

    // WMA: quality slider and tags.
    QWidget* wma = frFormat[1];
    label(wma, "Label11", QRect(10, 6, 150, 20));
    lblWMAQuality = label(wma, "lblWMAQuality", QRect(386, 31, 30, 20), QStringLiteral("50"));
    label(wma, "Label23", QRect(10, 55, 190, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter);
    label(wma, "Label24", QRect(210, 55, 172, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignRight | Qt::AlignVCenter);
    chkWMAFileTags = place(new QCheckBox(wma), "chkWMAFileTags", QRect(10, 76, 250, 20));
    // Box i beside the label of its tag: Title, Album Title, Rating and Genre on the left,
    // Artist, Description, Copyright and Year on the right.
    for (int i = 0; i < 8; ++i) {
        const int col = i % 2, row = i / 2, rowY = 100 + row * 22;
        label(wma, kTagLabels[col * 4 + row], QRect(10 + col * 204, rowY, 72, 20));
        txtWMATags[i] = place(new QLineEdit(kTagTexts[i], wma), "txtWMATags",
                              QRect(84 + col * 204, rowY, 120, 20));
        txtWMATags[i]->setProperty("Index", i);
    }
    cmbWMAEncodingBitrate =
        place(new QComboBox(wma), "cmbWMAEncodingBitrate", QRect(300, 4, 110, 20));
    cmbWMAEncodingBitrate->hide();

    // MP3: modes, bitrates, VBR value, encoder quality, sampling rate, channel mode.
    QWidget* mp3 = frFormat[2];
    label(mp3, "Label31", QRect(10, 2, 160, 18));
    optMP3CBR = place(new QRadioButton(QStringLiteral("Constant Bitrate (CBR):"), mp3), "optMP3CBR",
                      QRect(10, 22, 172, 20));
    optMP3ABR = place(new QRadioButton(QStringLiteral("Average Bitrate (ABR):"), mp3), "optMP3ABR",
                      QRect(10, 46, 172, 20));
    optMP3VBR = place(new QRadioButton(QStringLiteral("Variable Bitrate (VBR):"), mp3), "optMP3VBR",
                      QRect(10, 70, 172, 20));
    exclusiveGroup(this, {optMP3CBR, optMP3ABR, optMP3VBR});
    cmbMP3CBitrate = fixedList(place(new QComboBox(mp3), "cmbMP3CBitrate", QRect(185, 20, 100, 22)),
                               OutputSetting::cmbMP3CBitrate);
    cmbMP3ABitrate = fixedList(place(new QComboBox(mp3), "cmbMP3ABitrate", QRect(185, 44, 100, 22)),
                               OutputSetting::cmbMP3ABitrate);
    lblMP3VBREncodSlider =
        label(mp3, "lblMP3VBREncodSlider", QRect(384, 72, 30, 20), QStringLiteral("5"));
    label(mp3, "Label27", QRect(185, 94, 60, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter);
    label(mp3, "Label32", QRect(320, 94, 60, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignRight | Qt::AlignVCenter);
    label(mp3, "Label28", QRect(10, 116, 118, 18));
    lblMP3EncodSlider =
        label(mp3, "lblMP3EncodSlider", QRect(342, 117, 40, 18), QStringLiteral("5"));
    // The slider at 9 asks lame for -q 0, its best and slowest: "Low (Faster)" at the left.
    label(mp3, "Label30", QRect(130, 138, 100, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter);
    label(mp3, "Label29", QRect(238, 138, 100, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignRight | Qt::AlignVCenter);
    // Each label keeps a gap before its list, and each pair one before the next label.
    label(mp3, "Label26", QRect(10, 162, 95, 20));
    cmbMP3Freq = fixedList(place(new ElidingComboBox(mp3), "cmbMP3Freq", QRect(105, 160, 108, 22)),
                           OutputSetting::cmbMP3Freq);
    label(mp3, "Label25", QRect(221, 162, 89, 20));
    cmbMP3StereoMode =
        fixedList(place(new ElidingComboBox(mp3), "cmbMP3StereoMode", QRect(310, 160, 107, 22)),
                  OutputSetting::cmbMP3StereoMode);

    // Ogg Vorbis: modes, bitrates and quality.
    QWidget* ogg = frFormat[3];
    optOGGCBR = place(new QRadioButton(QStringLiteral("Constant Bitrate (CBR)"), ogg), "optOGGCBR",
                      QRect(10, 8, 200, 20));
    optOGGVBR = place(new QRadioButton(QStringLiteral("Variable Bitrate (VBR) Value:-"), ogg),
                      "optOGGVBR", QRect(10, 34, 200, 20));
    exclusiveGroup(this, {optOGGCBR, optOGGVBR});
    cmbOGGCBitrate = fixedList(place(new QComboBox(ogg), "cmbOGGCBitrate", QRect(214, 6, 100, 22)),
                               OutputSetting::cmbOGGCBitrate);
    cmbOGGVBitrate = fixedList(place(new QComboBox(ogg), "cmbOGGVBitrate", QRect(214, 32, 100, 22)),
                               OutputSetting::cmbOGGVBitrate);
    label(ogg, "Label33", QRect(10, 60, 150, 18));
    lblSliderOGG = label(ogg, "lblSliderOGG", QRect(231, 86, 40, 18), QStringLiteral("3"));
    label(ogg, "Label20", QRect(10, 110, 60, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter);
    label(ogg, "Label21", QRect(167, 110, 60, 18))
        ->setAlignment(Qt::AlignAbsolute | Qt::AlignRight | Qt::AlignVCenter);
    label(ogg, "Label34", QRect(10, 134, 300, 18));

    // Notice shown when WMA output is not available.
    QWidget* notice = frFormat[4];
    label(notice, "Label35", QRect(10, 6, 399, 72));
    cmdDownloadWMF = button(notice, "cmdDownloadWMF", QRect(10, 82, 399, 28));
    cmdOpenWMSite = button(notice, "cmdOpenWMSite", QRect(10, 114, 399, 28));
    label(notice, "Label36", QRect(10, 150, 399, 18));

    CreateFormatSliders(*this);
    for (Slider* s : {sliderWMA, SliderMP3VBR, SliderMP3EncoderQuality, sliderOGG})
        designRects_.insert(s, s->geometry());
}

bool frmMain::load() {
    // A second copy of the program runs as freely as the first: no single-instance lock.
    bLoading = true;

    ResolveLanguageFile();
    FillLanguageList();
    ApplyTheme(this, theme);
    LayoutFileGrid();
    SetCaptions();
    placePanels();
    lblVer->setText(QStringLiteral("%1.%2.0.%3")
                        .arg(KV_VERSION_MAJOR)
                        .arg(KV_VERSION_MINOR)
                        .arg(KV_VERSION_REVISION));
    lblWebSite->setText(ReadDeploymentSettings().webSite);

    const EngineStartResult engine = InitAudioEngine();
    ownsEngine_ = engine.code == 0;
    if (engine.fatal)
        Q_EMIT startFailed();
    if (!engine.text.isEmpty())
        ShowMessage(this, MsgIcon::Critical, engine.text, engine.caption);
    // A device failure ends the program here, before any setting is loaded or saved.
    if (engine.fatal)
        return false;

    LoadSettings();
    bLoading = false;
    wma_->CheckAtStartup();
    return true;
}

bool frmMain::CreateFileListTable() {
    auto table = NewFileListTable();
    const bool open = table != nullptr;
    model_->setTable(std::move(table));
    return open;
}

bool frmMain::LayoutFileGrid() {
    if (!CreateFileListTable())
        return false;
    Grid->setColumnHidden(0, true);
    QHeaderView* header = Grid->horizontalHeader();
    header->setHighlightSections(false);
    header->setMinimumSectionSize(16);
    header->setSectionResizeMode(QHeaderView::Interactive);
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 6);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setWordWrap(false);
    // Insertion order until the user sorts by a header.
    Grid->setSortingEnabled(true);
    // A third click on a header gives the list's own order back.
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    gridOrder_->sort(-1);
    model_->setHeaderData(1, Qt::Horizontal, QStringLiteral(" "));
    model_->setHeaderData(2, Qt::Horizontal, GetCaption(20009, QStringLiteral("File Path")));
    model_->setHeaderData(3, Qt::Horizontal,
                          GetCaption(20010, QStringLiteral("Conversion Status")));
    model_->setHeaderData(4, Qt::Horizontal, GetCaption(20011, QStringLiteral("Time Length")));
    model_->setHeaderData(5, Qt::Horizontal, GetCaption(20012, QStringLiteral("File Size")));
    const int widthsTwips[6] = {0, 500, 5200, 2000, 1200, 1200};
    for (int c = 1; c < 6; ++c)
        Grid->setColumnWidth(c, PixelsFromTwips(widthsTwips[c]));

    QPalette pal = Grid->palette();
    // The grid's own background shows below the last row; rows paint themselves white.
    pal.setColor(QPalette::Window, QColor(255, 192, 255));
    pal.setColor(QPalette::Base, QColor(255, 192, 255));
    pal.setColor(QPalette::Text, QColor(0, 0, 0));
    pal.setColor(QPalette::Highlight, QColor(128, 0, 128));
    pal.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    Grid->setPalette(pal);
    header->setStyleSheet(QStringLiteral(
        "QHeaderView::section { background-color: rgb(255,192,255); color: rgb(0,0,0);"
        " border: 0px; border-right: 1px solid rgb(128,0,128); border-bottom: 1px solid "
        "rgb(128,0,128);"
        " padding: 2px 4px; }"));
    return true;
}

void frmMain::SetCaptions() {
    for (const CaptionEntry& e : CaptionTable()) {
        const QString text = GetCaption(e.key, captionDefault(e.defaultText));
        if (e.target == CaptionTarget::Header) {
            model_->setHeaderData(e.column, Qt::Horizontal, text);
            continue;
        }
        QWidget* w = findChild<QWidget*>(QString::fromLatin1(e.control));
        if (!w)
            continue;
        if (e.target == CaptionTarget::ToolTip) {
            w->setToolTip(text);
        } else if (auto* panel = qobject_cast<FramePanel*>(w)) {
            panel->setCaption(text);
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            b->setText(text);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(text);
        }
    }
    setWindowTitle(GetCaption(100024, QStringLiteral("Kelvanto")));
    for (const auto& apply : stateCaptions_)
        apply();
}

void frmMain::AddStateCaptions(std::function<void()> apply) {
    stateCaptions_.push_back(std::move(apply));
}

void frmMain::FillLanguageList() {
    ComboLang->clear();
    languageFiles_.clear();
    const LanguageListing listing = ListLanguageFolder(LanguageFolder());
    // Flags are read in order up to the first that cannot be read: the k-th language shows
    // the k-th flag, so no language may ever show a later one.
    QList<QIcon> imageList;
    QString pictureError;
    for (const QString& flag : listing.flagFiles) {
        QPixmap pm(flag);
        if (pm.isNull()) {
            pictureError = QStringLiteral("Invalid picture: %1").arg(QFileInfo(flag).fileName());
            break;
        }
        imageList.append(QIcon(pm));
    }
    for (int i = 0; i < listing.languages.size(); ++i) {
        // A language without its flag stops the list, as the picker refuses an item whose
        // image is missing.
        if ((!imageList.isEmpty() || !pictureError.isEmpty()) && i >= imageList.size())
            break;
        ComboLang->addItem(imageList.isEmpty() ? QIcon() : imageList[i], listing.languages[i],
                           listing.files[i]);
        languageFiles_.append(listing.files[i]);
    }
    if (!pictureError.isEmpty())
        ShowMessage(this, MsgIcon::NoIcon, pictureError, QStringLiteral("Kelvanto"));
    else if (languageFiles_.size() < listing.files.size())
        ShowMessage(this, MsgIcon::NoIcon, QStringLiteral("Index out of bounds"),
                    QStringLiteral("Kelvanto"));
    if (languageFiles_.isEmpty())
        return;
    ComboLang->setCurrentIndex(SelectLanguageIndex(languageFiles_, LanguageFile()));
    ComboLang_Click();
    ComboLang->update();
}

void frmMain::ComboLang_Click() {
    if (ComboLang->currentIndex() < 0)
        return;
    // The file's real name, so "Deutsch.INI" is read and stored as it is written.
    const QString name = ComboLang->currentData().toString();
    if (name != LanguageFile()) {
        SetLanguageFile(name);
        SetCaptions();
    }
    StoreLanguageSetting(name);
    // Message box buttons and file dialogs speak the chosen language too.
    InstallQtTranslations(name);
    applyReadingOrder(IsRightToLeftLanguage(name));
}

void frmMain::applyReadingOrder(bool rightToLeft) {
    setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    if (mirrored_ == rightToLeft)
        return;
    mirrored_ = rightToLeft;
    // Controls are placed by hand, so mirror each one inside its parent.
    for (auto it = designRects_.cbegin(); it != designRects_.cend(); ++it) {
        QWidget* w = it.key();
        if (w == frMain || w == frAbout || w == frFormats)
            continue;
        const QRect r = it.value();
        const int parentWidth = w->parentWidget()->width();
        w->move(rightToLeft ? parentWidth - r.x() - r.width() : r.x(), w->y());
    }
    // A label's text keeps its own reading order, and stands at the side the window reads
    // from, as every other text of its panel: an English line of the about panel ends at the
    // right in Arabic as the Arabic lines do.
    for (QLabel* l : findChildren<QLabel*>()) {
        if (!l->property("designAlignment").isValid())
            l->setProperty("designAlignment", int(l->alignment()));
        const auto design = Qt::Alignment(l->property("designAlignment").toInt());
        if (!(design & Qt::AlignAbsolute))
            l->setAlignment(rightToLeft ? QStyle::visualAlignment(Qt::RightToLeft, design)
                                        : design);
    }
    // The sliders keep their minimum at the left, so each end's label stays at its own end,
    // at the ends of the mirrored slider.
    static const std::pair<const char*, const char*> kSliderEnds[] = {{"Label23", "Label24"},
                                                                      {"Label27", "Label32"},
                                                                      {"Label30", "Label29"},
                                                                      {"Label20", "Label21"}};
    std::vector<std::pair<QLabel*, QLabel*>> ends;
    for (const auto& [lowName, highName] : kSliderEnds)
        ends.emplace_back(findChild<QLabel*>(QLatin1String(lowName)),
                          findChild<QLabel*>(QLatin1String(highName)));
    for (const FormatPageControls& page : encodedPages)
        ends.emplace_back(page.low, page.high);
    for (const auto& [low, high] : ends) {
        if (!low || !high || !rightToLeft)
            continue;
        const QRect l = designRects_.value(low), h = designRects_.value(high);
        const int width = low->parentWidget()->width();
        low->move(width - h.x() - h.width(), low->y());
        high->move(width - l.x() - high->width(), high->y());
    }
}

FramePanel* frmMain::FormatPage(int format) const {
    if (format >= 0 && format < 4)
        return frFormat[format];
    for (const FormatPageControls& page : encodedPages)
        if (page.format->id() == format)
            return page.panel;
    return nullptr;
}

void frmMain::placePanels() {
    frMain->move(0, 0);
    setFixedSize(frMain->size());
    const int left = (frMain->width() - frAbout->width()) / 2;
    frFormats->move(left, frMain->height());
    frAbout->move(left, frMain->height());
    frFormats->raise();
    frAbout->raise();
}

void frmMain::cmdClose_Click() {
    if (IsConverting) {
        ShowMessage(this, MsgIcon::Warning, QStringLiteral("Please Stop Conversion first."),
                    GetCaption(100024, QStringLiteral("Kelvanto")));
        return;
    }
    close();
}

int frmMain::TableRowOfGridRow(int gridRow) const {
    const QModelIndex source = gridOrder_->mapToSource(gridOrder_->index(gridRow, 0));
    return source.isValid() ? source.row() : -1;
}

void frmMain::chkSelectAll_Click() {
    const std::int32_t mark = chkSelectAll->isChecked() ? 1 : 0;
    for (int i = 0; i < model_->rowCount(); ++i)
        model_->setCheckBox(i, mark);
}

void frmMain::cmdRemove_Click() {
    auto rebuilt = NewFileListTable();
    if (!rebuilt)
        return;
    const FileListTable* current = fileList();
    if (current->rowCount() == 0)
        return;
    for (int i = 0; i < current->rowCount(); ++i) {
        const FileListRow& row = current->row(i);
        if (row.CheckBox == 0) {
            rebuilt->appendCopy(*current, i);
        } else if (!PreviewPath.isEmpty() && row.FilePath == PreviewPath && StopPreview) {
            StopPreview();
        }
    }
    // Installed only once complete, so a failure part-way leaves the list as it was.
    model_->setTable(std::move(rebuilt));
    chkSelectAll->setChecked(false);
}

void frmMain::Grid_DblClick() {
    if (cmdPlay->isEnabled())
        cmdPlay->click();
}

void frmMain::LoadSettings() {
    options_->LoadSettings();
}

void frmMain::SaveSettings() {
    options_->SaveSettings();
}

void frmMain::UpdateFormatSummary() {
    options_->UpdateFormatSummary();
}

void frmMain::cmdBrowse_Click() {
    options_->Browse();
}

void frmMain::cmdDefaults_Click() {
    options_->RestoreDefaults();
}

void frmMain::cmdChangeFormat_Click() {
    animation_->Open(frFormats);
}

void frmMain::cmdHide_Click() {
    animation_->Close();
    UpdateFormatSummary();
}

void frmMain::cmdAbout_Click() {
    animation_->Open(frAbout);
}

void frmMain::cmdCloseHelp_Click() {
    animation_->Close();
}

// A missing manual or an unreachable page says nothing: the desktop's answer is not looked at.
void frmMain::MyButton1_Click() {
    OpenWithDesktop(QUrl::fromLocalFile(HelpFilePath()));
}

void frmMain::lblWebSite_Click() {
    OpenWithDesktop(QUrl::fromUserInput(lblWebSite->text()));
}

void frmMain::cmdMinimize_Click() {
    setWindowState(windowState() | Qt::WindowMinimized);
}

bool frmMain::AddFile2Grid(QString& sFilePath) {
    WindowAddFileHost host(this);
    return kv::AddFile2Grid(sFilePath, *model_, host);
}

WindowAddFileHost::WindowAddFileHost(frmMain* window) : window_(window) {}

void WindowAddFileHost::ClearSelectAll() {
    if (window_->chkSelectAll)
        window_->chkSelectAll->setChecked(false);
}

void WindowAddFileHost::ShowAddFileError(const QString& text) {
    ShowMessage(window_, MsgIcon::Critical, text);
}

void WindowAddFileHost::ProbeFailed(const QString& path) {
    window_->wmaOutput()->ProbeFailed(path);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Whatever way the window is closed, the close sequence runs once and never cancels.
    if (!closed_) {
        closed_ = true;
        // A running batch stops after its current block; the worker is done before the
        // settings are saved and the engine released.
        if (batch_->isRunning()) {
            batch_->requestStop();
            batch_->wait();
        }
        SaveSettings();
        Q_EMIT closing();
        releaseEngine();
    }
    event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblWebSite && event->type() == QEvent::MouseButtonRelease &&
        lblWebSite->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        lblWebSite_Click();
        return true;
    }
    if (watched != frMain)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        // Any button moves the window, as a title bar would.
        auto* me = static_cast<QMouseEvent*>(event);
        QWindow* handle = windowHandle();
        if (handle && handle->startSystemMove())
            return true;
        dragging_ = true;
        dragOffset_ = me->globalPosition().toPoint() - frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove:
        if (dragging_) {
            move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - dragOffset_);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_) {
            dragging_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kv
