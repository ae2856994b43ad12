// The options panel on the real window: loading, saving and restoring the output settings,
// the enable rules, the summary line, the folder picker, and closing by a signal.
#include "app/OptionsPanel.h"
#include "app/frmMain.h"
#include "controls/Slider.h"
#include "convert/SettingsOptions.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include "Sliding.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace kv;
using namespace kvtest;

namespace {
const QString kDefaultSummary =
    QStringLiteral("MP3,Joint Stereo,Auto Sampling,Constant Bitrate 128 Kbps");

class Options : public ::testing::Test {
protected:
    ProgramFolderFixture fx;
    RecordingMessageBoxes boxes;
};

constexpr int kNotice = 100;

// The format page in front of the others, kNotice for the WMA notice.
int frontPage(const frmMain& w) {
    int front = -1;
    for (QObject* child : w.frFormats->children()) {
        front = child == w.frFormat[4] ? kNotice : front;
        for (int i = 0; i < static_cast<int>(w.optFileFormat.size()); ++i)
            front = child == w.FormatPage(i) ? i : front;
    }
    return front;
}

// The slider a user sees where the pages of FLAC, Opus and M4A have theirs.
QString shownSlider(const frmMain& w) {
    const QWidget* at = w.frFormats->childAt(w.frFormat[0]->geometry().topLeft() + QPoint(160, 46));
    return qobject_cast<const Slider*>(at) ? at->objectName() : QString();
}

// Which rule-bound controls are usable: txtOutPath, cmdBrowse, cmbMP3CBitrate, cmbMP3ABitrate,
// SliderMP3VBR, cmbOGGCBitrate, cmbOGGVBitrate.
QString usable(const frmMain& w) {
    const auto on = [](const QWidget* c) {
        return c->testAttribute(Qt::WA_ForceDisabled) ? '0' : '1';
    };
    const char s[] = {on(w.txtOutPath),
                      on(w.cmdBrowse),
                      on(w.cmbMP3CBitrate),
                      on(w.cmbMP3ABitrate),
                      w.SliderMP3VBR->isEnabled() ? '1' : '0',
                      on(w.cmbOGGCBitrate),
                      on(w.cmbOGGVBitrate)};
    return QString::fromLatin1(s, sizeof s);
}

ConversionOptions toolOptions() {
    ConversionOptions o;
    QString error;
    EXPECT_TRUE(SavedConversionOptions({}, o, error)) << error.toStdString();
    return o;
}

// The window's options but for the tag boxes' texts, which are not stored: the window starts
// them at their design texts, the tool at none.
ConversionOptions storedPart(ConversionOptions o) {
    o.wma.tagTexts = {};
    return o;
}

} // namespace

TEST_F(Options, FirstStartShowsTheDefaultsAndStoresTheFolderChoice) {
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_EQ(w.optionsPanel()->Values(), OutputSettings());
    EXPECT_EQ(w.lblFormat->text(), kDefaultSummary);
    EXPECT_EQ(frontPage(w), 2);
    EXPECT_EQ(usable(w), QStringLiteral("1110001"));
    const ConversionOptions o = w.CurrentConversionOptions();
    EXPECT_EQ(o.mp3, (Mp3Options{BitrateMode::Constant, 128, 128, 5, 5, 0, 2}));
    EXPECT_EQ(o.ogg, (OggOptions{BitrateMode::Variable, 128, 128, 3}));
    EXPECT_EQ(StoredOutputSettings(),
              (StoredValues{{"optSameFolder", "False"}, {"txtOutPath", DefaultOutputFolder()}}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Options, ARestartKeepsEveryControlAndRestoreDefaultsPutsThemBack) {
    OutputSettings changed;
    {
        frmMain w;
        ASSERT_TRUE(w.load());
        w.optSameFolder->click();
        w.txtOutPath->setText(QStringLiteral("/tmp/out, \"here\""));
        w.optFileFormat[3]->click();
        for (Slider* s : {w.sliderWMA, w.SliderMP3EncoderQuality, w.sliderOGG})
            s->setValue(s->min());
        w.SliderMP3VBR->setValue(9);
        w.optMP3VBR->click();
        w.optOGGCBR->click();
        for (QComboBox* c : {w.cmbMP3StereoMode, w.cmbMP3Freq, w.cmbMP3CBitrate, w.cmbOGGCBitrate})
            c->setCurrentIndex(c->count() - 1);
        for (QComboBox* c : {w.cmbMP3ABitrate, w.cmbOGGVBitrate})
            c->setCurrentIndex(0);
        w.spnSimultaneous->setValue(w.spnSimultaneous->maximum());
        w.chkCopyTags->click();
        changed = w.optionsPanel()->Values();
        EXPECT_EQ(w.lblFormat->text(), kDefaultSummary); // until "Save && Close"
        w.close();
    }
    EXPECT_EQ(StoredOutputSettings().size(), static_cast<size_t>(kOutputSettingCount));
    EXPECT_EQ(StoredOutputSettings().count("cmbOGGvBitrate"), 1u);
    EXPECT_EQ(StoredOutputSettings().at("chkCopyTags"), QStringLiteral("False"));

    frmMain w;
    // The format is chosen while the window still loads, the encoder values after.
    std::vector<bool> loadingAt;
    QObject::connect(w.optFileFormat[3], &QRadioButton::toggled,
                     [&] { loadingAt.push_back(w.bLoading); });
    QObject::connect(w.sliderWMA, &Slider::Change, [&] {
        if (w.sliderWMA->value() == 0)
            loadingAt.push_back(w.bLoading);
    });
    ASSERT_TRUE(w.load());
    EXPECT_EQ(loadingAt, (std::vector<bool>{true, false}));
    EXPECT_EQ(w.optionsPanel()->Values(), changed);
    EXPECT_EQ(w.CurrentConversionOptions().jobs, w.spnSimultaneous->maximum());
    EXPECT_EQ(w.lblFormat->text(), QStringLiteral("OGG,Constant Bitrate 64 Kbps,Quality=-2"));
    EXPECT_EQ(w.lblSliderOGG->text() + w.lblMP3VBREncodSlider->text(), QStringLiteral("-29"));
    EXPECT_EQ(w.CurrentConversionOptions().mp3,
              (Mp3Options{BitrateMode::Variable, 32, 310, 9, 0, 9, 4}));
    EXPECT_EQ(frontPage(w), 3);
    EXPECT_EQ(usable(w), QStringLiteral("0000110"));
    EXPECT_FALSE(w.CurrentConversionOptions().copyTags);
    // The companion tool reads the same options from the store.
    EXPECT_EQ(storedPart(w.CurrentConversionOptions()), toolOptions());

    w.cmdDefaults->click();
    EXPECT_EQ(w.optionsPanel()->Values(), OutputSettings());
    EXPECT_EQ(w.lblFormat->text(), kDefaultSummary);
    EXPECT_EQ(usable(w), QStringLiteral("1110001"));
    EXPECT_EQ(StoredOutputSettings().size(), 2u);
}

TEST_F(Options, TheWindowAndTheToolTakeTheSameStoredFiles) {
    const QByteArray head = "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]\n";
    QByteArray garbage;
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    const struct {
        QByteArray file;
        const char* usable;
        QString summary;
    } cases[] = {
        // Each bad value is skipped alone: no page comes to the front for format 7.
        {head + "optFileFormat=7\nsliderWMA=0\nsliderOGG=11\ncmbMP3Freq=x\n", "1110001",
         kDefaultSummary},
        {head + "optFileFormat=1\noptOtherFolder=1\noptSameFolder=1\nsliderWMA=0\n", "0010001",
         "WMA,Encoding Quality= 0"},
        // No mode selected: the MP3 lists are off and the summary has nothing to say.
        {head + "optMP3CBR=0\noptMP3ABR=False\noptOGGCBR=0\noptOGGVBR=0\n", "1100001", ""},
        {head + "optOtherFolder=False\noptSameFolder=0\ntxtOutPath=\n", "1110001", kDefaultSummary},
        // Spaces around a number, "TRUE", and the value written with a small v read with a capital.
        {head + "optFileFormat= 3 \noptOGGCBR=TRUE\noptOGGVBR=1\ncmbOGGvBitrate=2\nsliderOGG=-2\n",
         "1110001", "OGG,Variable Bitrate 256 Kbps,Quality=-2"},
        {garbage, "1110001", kDefaultSummary},
        // A slider value out of range is taken as its slider takes it: at the nearer end.
        {head + "optFileFormat=1\nsliderWMA=150\n", "1110001", "WMA,Encoding Quality= 100"},
        {head + "optFileFormat=3\nsliderOGG=-7\n", "1110001",
         "OGG,Variable Bitrate 128 Kbps,Quality=-2"},
        {head + "optMP3CBR=0\noptMP3VBR=1\nSliderMP3VBR=99999999999\nspnSimultaneous=0\n",
         "1100101", "MP3,Joint Stereo,Auto Sampling,VBR Quality=9"},
        // The in-process formats: a value off the slider's steps is kept, one out of range
        // lands on the nearer end.
        {head + "optFileFormat=4\nsliderFLACLevel=-3\n", "1110001", "FLAC,Compression Level=0"},
        {head + "optFileFormat=5\nsliderOpusBitrate=130\n", "1110001",
         "OPUS,Variable Bitrate 130 Kbps,48 KHz"},
        {head + "optFileFormat=6\nsliderM4ABitrate=999\n", "1110001", "M4A,AAC-LC 320 Kbps"},
    };
    for (const auto& c : cases) {
        QFile f(OutputSettingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.file);
        f.close();
        frmMain w;
        ASSERT_TRUE(w.load());
        EXPECT_EQ(usable(w), QString::fromLatin1(c.usable)) << c.file.toStdString();
        EXPECT_EQ(w.lblFormat->text(), c.summary);
        EXPECT_EQ(frontPage(w), w.optionsPanel()->Values().number(OutputSetting::optFileFormat));
        EXPECT_EQ(storedPart(w.CurrentConversionOptions()), toolOptions());
    }
    EXPECT_TRUE(boxes.shown.empty());
    // A window that never loaded saves nothing over the store.
    ClearUserSettings();
    frmMain unloaded;
    unloaded.close();
    EXPECT_TRUE(StoredOutputSettings().empty());
}

TEST_F(Options, EnableRulesFollowTheClicks) {
    frmMain w;
    ASSERT_TRUE(w.load());
    const struct {
        QRadioButton* option;
        const char* usable;
    } clicks[] = {
        {w.optSameFolder, "0010001"}, {w.optMP3ABR, "0001001"},      {w.optOGGCBR, "0001010"},
        {w.optMP3VBR, "0000110"},     {w.optOtherFolder, "1100110"}, {w.optOGGVBR, "1100101"},
        {w.optMP3CBR, "1110001"},
    };
    for (const auto& c : clicks) {
        c.option->click();
        EXPECT_EQ(usable(w), QString::fromLatin1(c.usable)) << c.option->objectName().toStdString();
    }
    // A batch gives the folder controls back as the folder choice has them.
    w.optSameFolder->click();
    w.EnableControls(false);
    w.EnableControls(true);
    EXPECT_FALSE(w.cmdBrowse->isEnabled());
}

TEST_F(Options, FormatPagesTheSummaryThePanelAndTheFolderPicker) {
    ScriptedDialogs picker;
    frmMain w;
    ASSERT_TRUE(w.load());
    picker.folders = {QStringLiteral("/srv/music out")};
    w.cmdBrowse->click();
    EXPECT_EQ(w.CurrentConversionOptions().folder.outPath, QStringLiteral("/srv/music out"));
    w.cmdBrowse->click(); // cancelled
    EXPECT_EQ(w.txtOutPath->text(), QStringLiteral("/srv/music out"));
    EXPECT_EQ(picker.folderTitles, QStringList(2, QStringLiteral("Select folder to add")));

    w.cmdChangeFormat->click();
    FinishSliding(w);
    EXPECT_EQ(w.frFormats->y(), 181);
    EXPECT_FALSE(w.frMain->isActive());
    for (int i : {0, 1, 3}) {
        w.optFileFormat[i]->click();
        EXPECT_EQ(frontPage(w), i);
        EXPECT_EQ(w.lblFormat->text(), kDefaultSummary);
    }
    w.sliderWMA->setValue(0);
    w.optFileFormat[1]->click();
    w.cmdHide->click();
    EXPECT_EQ(w.lblFormat->text(), QStringLiteral("WMA,Encoding Quality= 0"));
    FinishSliding(w);
    EXPECT_EQ(w.frFormats->y(), w.height());
    EXPECT_TRUE(w.frMain->isActive());
}

// A click on the chosen format only brings its page forward; each set of option buttons keeps
// its own choice, and the format chosen last is the one saved.
TEST_F(Options, EveryButtonSetKeepsOneChoiceWhateverIsClicked) {
    frmMain w;
    ASSERT_TRUE(ShowLoaded(w));
    const auto modes = [&] {
        QString s;
        for (QRadioButton* o : {w.optMP3CBR, w.optMP3ABR, w.optMP3VBR, w.optOGGCBR, w.optOGGVBR})
            s += o->isChecked() ? '1' : '0';
        return s;
    };
    QRadioButton* const* format = w.optFileFormat.data();
    const struct {
        std::vector<QRadioButton*> clicks;
        int format;
        const char* modes; // MP3 CBR, ABR, VBR, then Ogg CBR, VBR
    } rows[] = {
        {{format[3], w.optOGGCBR, format[3]}, 3, "10010"},
        {{format[2], w.optMP3ABR, format[2], w.optMP3ABR}, 2, "01010"},
        {{format[0], format[0]}, 0, "01010"},
        {{format[1], format[3], format[1], format[1]}, 1, "01010"},
        {{format[4], format[4]}, 4, "01010"},
        {{format[5], format[2], format[5]}, 5, "01010"},
        {{format[6], w.optMP3CBR, format[6]}, 6, "10010"},
    };
    for (const auto& row : rows) {
        w.cmdChangeFormat->click();
        FinishSliding(w);
        for (QRadioButton* o : row.clicks)
            QTest::mouseClick(o, Qt::LeftButton);
        EXPECT_EQ(w.optionsPanel()->Values().number(OutputSetting::optFileFormat), row.format);
        EXPECT_EQ(frontPage(w), row.format);
        // The page of an in-process format shows its own slider, never the WMA notice.
        const char* const sliders[] = {"sliderFLACLevel", "sliderOpusBitrate", "sliderM4ABitrate"};
        if (row.format >= 4)
            EXPECT_EQ(shownSlider(w), QString::fromLatin1(sliders[row.format - 4]));
        EXPECT_FALSE(w.frFormat[4]->isVisibleTo(w.frFormats));
        EXPECT_EQ(modes(), QString::fromLatin1(row.modes)) << row.format;
        QTest::mouseClick(w.cmdHide, Qt::LeftButton);
        FinishSliding(w);
    }
    w.close();
    EXPECT_EQ(StoredOutputSettings().at("optFileFormat"), QStringLiteral("6"));
}

// Each in-process format's slider moves by its steps from the keyboard, "Save && Close" sums it
// up, and a fresh window loads it back with its page in front.
TEST_F(Options, TheNewFormatsSlidersStepSaveAndLoadBack) {
    const struct {
        int format;
        const char* slider;
        const char* before; // stored before the window opens
        int rightPresses;   // negative: left
        const char* stored;
        const char* summary;
    } rows[] = {
        {4, "sliderFLACLevel", "5", 4, "8", "FLAC,Compression Level=8"},
        // A stored value off the steps moves to the step below, then on by steps of 8.
        {5, "sliderOpusBitrate", "130", -2, "120", "OPUS,Variable Bitrate 120 Kbps,48 KHz"},
        {6, "sliderM4ABitrate", "256", -3, "208", "M4A,AAC-LC 208 Kbps"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.slider);
        ClearUserSettings();
        StoreOutputSettings({{row.slider, row.before}});
        {
            frmMain w;
            ASSERT_TRUE(ShowLoaded(w));
            w.cmdChangeFormat->click();
            FinishSliding(w);
            QTest::mouseClick(w.optFileFormat[row.format], Qt::LeftButton);
            auto* slider = w.findChild<Slider*>(QString::fromLatin1(row.slider));
            ASSERT_NE(slider, nullptr);
            QSignalSpy changed(w.optionsPanel(), &OptionsPanel::changed);
            for (int i = 0; i < std::abs(row.rightPresses); ++i)
                QTest::keyClick(slider, row.rightPresses > 0 ? Qt::Key_Right : Qt::Key_Left);
            EXPECT_GE(changed.count(), 1);
            QTest::mouseClick(w.cmdHide, Qt::LeftButton);
            EXPECT_EQ(w.lblFormat->text(), QString::fromLatin1(row.summary));
            w.close();
        }
        EXPECT_EQ(StoredOutputSettings().at(row.slider), QString::fromLatin1(row.stored));
        frmMain w;
        ASSERT_TRUE(w.load());
        EXPECT_EQ(w.lblFormat->text(), QString::fromLatin1(row.summary));
        EXPECT_EQ(frontPage(w), row.format);
        EXPECT_EQ(w.findChild<Slider*>(QString::fromLatin1(row.slider))->value(),
                  QString::fromLatin1(row.stored).toInt());
        EXPECT_EQ(storedPart(w.CurrentConversionOptions()), toolOptions());
    }
    // The pointer lands on a step too: a third of the way along is 64 + 256 / 3, about 149,
    // shown as the step of 16 nearest to it.
    frmMain w;
    ASSERT_TRUE(ShowLoaded(w));
    auto* m4a = w.findChild<Slider*>(QStringLiteral("sliderM4ABitrate"));
    QTest::mouseClick(m4a, Qt::LeftButton, {}, QPoint(m4a->width() / 3, m4a->height() / 2));
    EXPECT_EQ(m4a->value() % 16, 0);
    EXPECT_NEAR(m4a->value(), 149, 12);
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("lblM4AValue"))->text(),
              QStringLiteral("%1 Kbps").arg(m4a->value()));
    EXPECT_TRUE(boxes.shown.empty());
}

// The options panel over the window, as docs/options.png (scripts/make-pictures.sh) shows it.
TEST_F(Options, PictureOfTheMp3PageOverTheWindow) {
    fx.copyShippedLanguages();
    frmMain w;
    ASSERT_TRUE(ShowLoaded(w));
    w.cmdChangeFormat->click();
    FinishSliding(w);
    QApplication::processEvents();
    // The panel covers the lower part of the window: the MP3 page shows there.
    EXPECT_EQ(w.childAt(w.frFormat[2]->mapTo(&w, w.cmbMP3Freq->geometry().center())), w.cmbMP3Freq);
    // The window's picture shows the whole panel over the list.
    const QImage shot = w.grab().toImage();
    const QImage panel = w.frFormats->grab().toImage();
    ASSERT_EQ(shot.devicePixelRatio(), panel.devicePixelRatio());
    const qreal dpr = shot.devicePixelRatio();
    const QRect at(w.frFormats->pos() * dpr, panel.size());
    ASSERT_TRUE(shot.rect().contains(at));
    EXPECT_EQ(shot.copy(at).convertToFormat(QImage::Format_RGB32),
              panel.convertToFormat(QImage::Format_RGB32));
}

TEST(CloseBySignal, SavesTheSettingsLikeTheCloseButton) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        PrivateHome home;
        const QString file = home.settingsFile();
        StoreOutputSettings({{"sliderOGG", "-1"}}, file);
        QProcess p;
        home.start(p, WindowProgram(), {});
        ASSERT_TRUE(p.waitForStarted());
        // Loading writes the folder choice back: from then on the handlers are in place.
        ASSERT_TRUE(QTest::qWaitFor([&] { return StoredOutputSettings(file).size() == 3; }, 60000));
        ::kill(static_cast<pid_t>(p.processId()), signo);
        ASSERT_TRUE(p.waitForFinished(60000)) << signo;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << signo;
        EXPECT_EQ(p.exitCode(), 0);
        const StoredValues saved = StoredOutputSettings(file);
        EXPECT_EQ(saved.size(), 25u) << signo; // every setting, the ones added later too
        EXPECT_EQ(saved.at("sliderOGG"), QStringLiteral("-1"));
    }
}
