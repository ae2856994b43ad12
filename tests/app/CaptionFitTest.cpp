// Every caption of every shipped language, laid out in its own control's font on the real
// window, must fit the control; the adding strip speaks every language too.
#include "app/frmMain.h"
#include "controls/Slider.h"
#include "filelist/FileAdder.h"
#include "lang/CaptionTable.h"
#include "lang/Captions.h"
#include "ui/ElidingComboBox.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>

#include <gtest/gtest.h>

using namespace kv;

namespace {

// Laid out in fractions of a pixel; less than half a pixel over is rounding, not clipping.
bool fits(const QFont& font, const QRect& room, int flags, const QString& text) {
    const QRectF need = QFontMetricsF(font).boundingRect(QRectF(room), flags, text);
    return QRectF(room).adjusted(-0.5, -0.5, 0.5, 0.5).contains(need);
}

bool fits(QWidget* w, const QString& text) {
    if (auto* panel = qobject_cast<FramePanel*>(w)) { // a bold title on one line
        QFont bold = panel->font();
        bold.setBold(true);
        return fits(bold, QRect(8, 0, panel->width() - 16, panel->headerHeight()), Qt::AlignVCenter,
                    text);
    }
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) // indicator and one line
        return w->sizeHint().width() <= w->width() && w->fontMetrics().height() <= w->height();
    if (qobject_cast<MyButton*>(w))
        return fits(w->font(), w->rect().adjusted(4, 2, -4, -2), Qt::AlignCenter | Qt::TextWordWrap,
                    QString(text).replace(QStringLiteral("&&"), QStringLiteral("&")));
    auto* l = qobject_cast<QLabel*>(w);
    return l && fits(l->font(), l->contentsRect(),
                     int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0), text);
}

} // namespace

TEST(CaptionFit, EveryCaptionOfEveryLanguageFitsItsControl) {
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
    fx.copyShippedLanguages();
    frmMain w;
    ASSERT_TRUE(w.load());
    ASSERT_GE(w.ComboLang->count(), 6);
    const QHeaderView* header = w.Grid->horizontalHeader();
    QSet<QString> strips;
    for (int lang = 0; lang < w.ComboLang->count(); ++lang) {
        w.ComboLang->setCurrentIndex(lang);
        w.ComboLang_Click();
        for (const CaptionEntry& e : CaptionTable()) {
            const QString text = GetCaption(e.key, QString::fromUtf8(e.defaultText));
            // Header sections are padded 4 pixels a side and end in a 1-pixel rule.
            const QRect section(0, 0, w.Grid->columnWidth(e.column) - 9, header->height());
            EXPECT_TRUE(e.target == CaptionTarget::ToolTip ||
                        (e.target == CaptionTarget::Header
                             ? fits(header->font(), section, Qt::AlignCenter, text)
                             : fits(w.findChild<QWidget*>(e.control), text)))
                << LanguageFile().toStdString() << " " << e.control << ": " << text.toStdString();
        }
        // A label on the row of its control leaves a gap of 3 pixels or more between its text
        // and the control, never touches it.
        const std::pair<const char*, QWidget*> pairs[] = {{"Label25", w.cmbMP3StereoMode},
                                                          {"Label26", w.cmbMP3Freq},
                                                          {"Label5", w.optSameFolder},
                                                          {"Label8", w.lblFormat},
                                                          {"Label28", w.SliderMP3EncoderQuality},
                                                          {"lblSimultaneous", w.spnSimultaneous}};
        for (const auto& [name, control] : pairs) {
            auto* l = w.findChild<QLabel*>(name);
            const QRectF text = QFontMetricsF(l->font())
                                    .boundingRect(QRectF(l->contentsRect()),
                                                  int(QStyle::visualAlignment(l->layoutDirection(),
                                                                              l->alignment())),
                                                  l->text())
                                    .translated(l->pos());
            const QRect c = control->geometry();
            EXPECT_GE(std::max(c.left() - text.right(), text.left() - c.right() - 1), 3.0)
                << LanguageFile().toStdString() << " " << name;
        }
        // The pause button also reads "Resume" while a preview is paused.
        EXPECT_TRUE(fits(w.cmdPause, GetCaption(100016, QStringLiteral("Resume"))))
            << LanguageFile().toStdString();
        Q_EMIT w.fileAdder()->progress(3, 1207);
        strips.insert(w.lblAdding->text());
        EXPECT_TRUE(w.lblAdding->text().contains(QStringLiteral("3 / 1207")));
    }
    EXPECT_EQ(strips.size(), w.ComboLang->count());
    // A control grown for its caption still leaves its neighbours alone.
    for (const CaptionEntry& e : CaptionTable()) {
        QWidget* c = w.findChild<QWidget*>(e.control);
        if (e.target != CaptionTarget::Caption)
            continue;
        for (QWidget* n : c->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_FALSE(n != c && !n->isHidden() && n->geometry().intersects(c->geometry()))
                << e.control << " overlaps " << n->objectName().toStdString();
    }
    // Every item of the fixed lists shows whole in its closed box; where a row has no room for
    // the longest, the box ends it in an ellipsis, never mid-letter. Each list's first item
    // (the default sampling rate among them) shows whole.
    for (QComboBox* combo : w.findChildren<QComboBox*>()) {
        if (combo == w.ComboLang || combo == w.cmbWMAEncodingBitrate)
            continue;
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.frame = true;
        const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                           QStyle::SC_ComboBoxEditField, combo);
        auto* eliding = qobject_cast<ElidingComboBox*>(combo);
        const int current = combo->currentIndex();
        for (int i = 0; i < combo->count(); ++i) {
            const QString item = combo->itemText(i);
            SCOPED_TRACE(combo->objectName().toStdString() + ": " + item.toStdString());
            if (i == 0 || !eliding) {
                EXPECT_LE(combo->fontMetrics().horizontalAdvance(item), field.width());
                continue;
            }
            combo->setCurrentIndex(i);
            const QString shown = eliding->shownText();
            EXPECT_TRUE(shown == item ||
                        (shown.endsWith(QChar(0x2026)) && item.startsWith(shown.chopped(1))));
        }
        combo->setCurrentIndex(current);
    }
    SetLanguageFile(QStringLiteral("English.ini"));
}
