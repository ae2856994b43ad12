#include "app/OptionsPanel.h"

#include "app/frmMain.h"
#include "controls/Slider.h"
#include "convert/SettingsOptions.h"
#include "lang/Captions.h"
#include "ui/FileDialogs.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace kv {
namespace {

using S = OutputSetting;

// Option buttons of a group can all be cleared, as a stored "False" for each asks; a click
// never clears the chosen one.
void setOption(QRadioButton* option, bool selected) {
    if (selected) {
        option->setChecked(true);
    } else if (option->isChecked()) {
        QButtonGroup* group = option->group();
        group->setExclusive(false);
        option->setChecked(false);
        group->setExclusive(true);
    }
}

} // namespace

OptionsPanel::OptionsPanel(frmMain& window) : QObject(&window), w_(window) {
    for (int i = 0; i < static_cast<int>(w_.optFileFormat.size()); ++i) {
        FramePanel* page = w_.FormatPage(i);
        if (!page)
            continue;
        // Choosing a format shows its page; the summary waits for "Save && Close".
        connect(w_.optFileFormat[i], &QRadioButton::toggled, page, [page](bool on) {
            if (on)
                page->raise();
        });
        // A click on the chosen format changes nothing but brings its page forward.
        connect(w_.optFileFormat[i], &QRadioButton::clicked, page, &QWidget::raise);
    }

    for (QRadioButton* o : {w_.optSameFolder, w_.optOtherFolder})
        connect(o, &QRadioButton::toggled, this, &OptionsPanel::ApplyFolderRule);
    for (QRadioButton* o : {w_.optMP3CBR, w_.optMP3ABR, w_.optMP3VBR})
        connect(o, &QRadioButton::toggled, this, &OptionsPanel::applyMp3Rule);
    for (QRadioButton* o : {w_.optOGGCBR, w_.optOGGVBR})
        connect(o, &QRadioButton::toggled, this, &OptionsPanel::applyOggRule);

    // Every value a batch reads is passed on as it changes.
    for (QRadioButton* o : w_.optFileFormat)
        connect(o, &QRadioButton::toggled, this, &OptionsPanel::changed);
    for (QRadioButton* o : {w_.optSameFolder, w_.optOtherFolder, w_.optMP3CBR, w_.optMP3ABR,
                            w_.optMP3VBR, w_.optOGGCBR, w_.optOGGVBR})
        connect(o, &QRadioButton::toggled, this, &OptionsPanel::changed);
    for (QComboBox* c : {w_.cmbMP3CBitrate, w_.cmbMP3ABitrate, w_.cmbMP3Freq, w_.cmbMP3StereoMode,
                         w_.cmbOGGCBitrate, w_.cmbOGGVBitrate, w_.cmbWMAEncodingBitrate})
        connect(c, &QComboBox::currentIndexChanged, this, &OptionsPanel::changed);
    for (Slider* s : {w_.sliderWMA, w_.SliderMP3VBR, w_.SliderMP3EncoderQuality, w_.sliderOGG})
        connect(s, &Slider::Change, this, &OptionsPanel::changed);
    for (const FormatPageControls& page : w_.encodedPages)
        connect(page.slider, &Slider::Change, this, &OptionsPanel::changed);
    for (QLineEdit* t : w_.txtWMATags)
        connect(t, &QLineEdit::textChanged, this, &OptionsPanel::changed);
    connect(w_.txtOutPath, &QLineEdit::textChanged, this, &OptionsPanel::changed);
    connect(w_.chkWMAFileTags, &QCheckBox::toggled, this, &OptionsPanel::changed);
    connect(w_.spnSimultaneous, &QSpinBox::valueChanged, this, &OptionsPanel::changed);
    connect(w_.chkCopyTags, &QCheckBox::toggled, this, &OptionsPanel::changed);
    connect(w_.chkSubfolders, &QCheckBox::toggled, this, &OptionsPanel::changed);

    // The window opens on the defaults, so a value that cannot be loaded leaves its default.
    const OutputSettings defaults;
    w_.txtOutPath->setText(defaults.outPath());
    w_.optFileFormat[defaults.number(S::optFileFormat)]->setChecked(true);
    for (const OutputSettingEntry& entry : OutputSettingTable()) {
        if (control(entry.id))
            setControl(entry.id, defaults.number(entry.id));
    }
    ApplyFolderRule();
    applyMp3Rule();
    applyOggRule();
}

QWidget* OptionsPanel::control(OutputSetting id) const {
    switch (id) {
    case S::optOtherFolder:
        return w_.optOtherFolder;
    case S::optSameFolder:
        return w_.optSameFolder;
    case S::sliderWMA:
        return w_.sliderWMA;
    case S::cmbMP3StereoMode:
        return w_.cmbMP3StereoMode;
    case S::cmbMP3Freq:
        return w_.cmbMP3Freq;
    case S::SliderMP3EncoderQuality:
        return w_.SliderMP3EncoderQuality;
    case S::optMP3CBR:
        return w_.optMP3CBR;
    case S::optMP3ABR:
        return w_.optMP3ABR;
    case S::optMP3VBR:
        return w_.optMP3VBR;
    case S::SliderMP3VBR:
        return w_.SliderMP3VBR;
    case S::cmbMP3CBitrate:
        return w_.cmbMP3CBitrate;
    case S::cmbMP3ABitrate:
        return w_.cmbMP3ABitrate;
    case S::sliderOGG:
        return w_.sliderOGG;
    case S::optOGGCBR:
        return w_.optOGGCBR;
    case S::optOGGVBR:
        return w_.optOGGVBR;
    case S::cmbOGGCBitrate:
        return w_.cmbOGGCBitrate;
    case S::cmbOGGVBitrate:
        return w_.cmbOGGVBitrate;
    case S::spnSimultaneous:
        return w_.spnSimultaneous;
    case S::chkCopyTags:
        return w_.chkCopyTags;
    case S::chkSubfolders:
        return w_.chkSubfolders;
    case S::txtOutPath:
    case S::optFileFormat:
        break;
    default:
        // The sliders of the in-process formats' pages.
        for (const FormatPageControls& page : w_.encodedPages)
            if (page.format->page().slider == id)
                return page.slider;
        break;
    }
    return nullptr;
}

// Each value on its own: one that cannot be taken is skipped and the next one still applies.
void OptionsPanel::applyStored(CRegister& reg, OutputSetting first, OutputSetting last) {
    for (int i = static_cast<int>(first); i <= static_cast<int>(last); ++i) {
        const auto id = static_cast<OutputSetting>(i);
        if (const std::optional<int> v = StoredNumber(reg, id))
            setControl(id, *v);
    }
}

void OptionsPanel::setControl(OutputSetting id, int number) {
    QWidget* c = control(id);
    if (auto* option = qobject_cast<QRadioButton*>(c))
        setOption(option, number != 0);
    else if (auto* box = qobject_cast<QCheckBox*>(c))
        box->setChecked(number != 0);
    else if (auto* list = qobject_cast<QComboBox*>(c))
        list->setCurrentIndex(number);
    else if (auto* slider = qobject_cast<Slider*>(c))
        slider->setValue(number); // its echo label follows through Change
    else if (auto* spin = qobject_cast<QSpinBox*>(c))
        spin->setValue(number); // a count above this machine's cores gives its cores
}

void OptionsPanel::LoadSettings() {
    CRegister reg;
    stored_ = OutputSettings();
    ReadStoredOutputSettings(reg, stored_);
    // 1-2: the output folder.
    applyStored(reg, S::optOtherFolder, S::optSameFolder);
    w_.txtOutPath->setText(StoredText(reg, S::txtOutPath));
    ApplyFolderRule();
    // 3: both values exist in the store from the first start on.
    StoreSettings(reg, {{S::optSameFolder,
                         SettingText(EntryOf(S::optSameFolder), w_.optSameFolder->isChecked())},
                        {S::txtOutPath, w_.txtOutPath->text()}});
    // 4: the format and its page.
    const std::optional<int> format = StoredNumber(reg, S::optFileFormat);
    if (format && *format < static_cast<int>(w_.optFileFormat.size())) {
        w_.optFileFormat[*format]->setChecked(true);
        if (FramePanel* page = w_.FormatPage(*format))
            page->raise();
    }
    // 5: from here on, the WMA quality may ask the encoder for its bitrates.
    w_.bLoading = false;
    // 6-7: WMA quality and MP3.
    applyStored(reg, S::sliderWMA, S::cmbMP3ABitrate);
    applyMp3Rule();
    // 8-9: Ogg Vorbis.
    applyStored(reg, S::sliderOGG, S::cmbOGGVBitrate);
    applyOggRule();
    applyStored(reg, S::chkCopyTags, S::chkCopyTags);
    // The in-process formats' values, each as its slider takes it.
    applyStored(reg, S::sliderFLACLevel, S::sliderM4ABitrate);
    applyStored(reg, S::chkSubfolders, S::chkSubfolders);
    // 10.
    UpdateFormatSummary();
    // Files converted at once.
    applyStored(reg, S::spnSimultaneous, S::spnSimultaneous);
    loaded_ = true;
}

void OptionsPanel::SaveSettings() {
    if (!loaded_)
        return;
    CRegister reg;
    WriteOutputSettings(reg, Values());
}

void OptionsPanel::RestoreDefaults() {
    CRegister().REGDeleteSetting(RegRoot::LocalMachine, kSettingsSection, QString());
    LoadSettings();
}

void OptionsPanel::UpdateFormatSummary() {
    if (const std::optional<QString> summary = FormatSummary(Values()))
        w_.lblFormat->setText(*summary);
}

void OptionsPanel::Browse() {
    const QString folder =
        Dialogs().chooseFolder(&w_, GetCaption(20006, QStringLiteral("Select folder to add")));
    if (!folder.isEmpty())
        w_.txtOutPath->setText(folder);
}

void OptionsPanel::ApplyFolderRule() {
    const bool own = !w_.optSameFolder->isChecked();
    w_.txtOutPath->setEnabled(own);
    w_.cmdBrowse->setEnabled(own);
}

void OptionsPanel::applyMp3Rule() {
    w_.cmbMP3CBitrate->setEnabled(w_.optMP3CBR->isChecked());
    w_.cmbMP3ABitrate->setEnabled(w_.optMP3ABR->isChecked());
    w_.SliderMP3VBR->setEnabled(w_.optMP3VBR->isChecked());
}

void OptionsPanel::applyOggRule() {
    const bool constant = w_.optOGGCBR->isChecked();
    w_.cmbOGGCBitrate->setEnabled(constant);
    w_.cmbOGGVBitrate->setEnabled(!constant);
}

OutputSettings OptionsPanel::Values() const {
    OutputSettings v;
    for (const OutputSettingEntry& entry : OutputSettingTable()) {
        QWidget* c = control(entry.id);
        int number = 0;
        if (entry.id == S::txtOutPath) {
            v.setOutPath(w_.txtOutPath->text());
            continue;
        }
        if (!c && entry.id != S::optFileFormat) {
            // No control on this panel: the value stays as stored.
            v.setNumber(entry.id, stored_.number(entry.id));
            continue;
        }
        if (entry.id == S::optFileFormat) {
            number = -1;
            for (int i = 0; i < static_cast<int>(w_.optFileFormat.size()); ++i) {
                if (w_.optFileFormat[i]->isChecked()) {
                    number = i;
                    break;
                }
            }
        } else if (auto* option = qobject_cast<QRadioButton*>(c)) {
            number = option->isChecked() ? 1 : 0;
        } else if (auto* box = qobject_cast<QCheckBox*>(c)) {
            number = box->isChecked() ? 1 : 0;
        } else if (auto* list = qobject_cast<QComboBox*>(c)) {
            number = list->currentIndex();
        } else if (auto* slider = qobject_cast<Slider*>(c)) {
            number = slider->value();
        } else if (auto* spin = qobject_cast<QSpinBox*>(c)) {
            number = spin->value();
        }
        v.setNumber(entry.id, number);
    }
    return v;
}

ConversionOptions OptionsPanel::CurrentConversionOptions() const {
    ConversionOptions o = ConversionOptionsFrom(Values());
    o.wma.bitrateIndex = w_.cmbWMAEncodingBitrate->currentIndex();
    o.wma.tags = w_.chkWMAFileTags->isChecked();
    for (int i = 0; i < static_cast<int>(w_.txtWMATags.size()); ++i)
        o.wma.tagTexts[i] = w_.txtWMATags[i]->text();
    return o;
}

} // namespace kv
