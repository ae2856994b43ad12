// Every caption of every shipped language, measured in its own control's font on the real
// window: a text that is clipped or runs past its control fails.
#include "app/frmMain.h"
#include "lang/CaptionTable.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableView>

#include <gtest/gtest.h>

using namespace kv;

namespace {

// What does not fit, or empty when the text fits. Measured in fractions of a pixel, as the
// text is laid out; less than half a pixel is rounding, not clipping.
QString overflow(const QFont& font, const QRect& room, int flags, const QString& text) {
    const QRectF need = QFontMetricsF(font).boundingRect(QRectF(room), flags, text);
    constexpr qreal kEpsilon = 0.5;
    if (QRectF(room).adjusted(-kEpsilon, -kEpsilon, kEpsilon, kEpsilon).contains(need))
        return {};
    return QStringLiteral("needs %1x%2, has %3x%4")
        .arg(need.width())
        .arg(need.height())
        .arg(room.width())
        .arg(room.height());
}

QString misfit(QWidget* w, const QString& text) {
    if (auto* panel = qobject_cast<FramePanel*>(w)) {
        // The title is drawn bold on one line in the header strip.
        QFont bold = panel->font();
        bold.setBold(true);
        const QRect room = QRect(0, 0, panel->width(), panel->headerHeight()).adjusted(8, 0, -8, 0);
        return overflow(bold, room, Qt::AlignVCenter | Qt::AlignLeft, text);
    }
    if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        // The width hint holds the indicator, its spacing and the text; the text is one line.
        const QSize need(w->sizeHint().width(), w->fontMetrics().height());
        if (need.width() <= w->width() && need.height() <= w->height())
            return {};
        return QStringLiteral("needs %1x%2, has %3x%4")
            .arg(need.width())
            .arg(need.height())
            .arg(w->width())
            .arg(w->height());
    }
    if (qobject_cast<MyButton*>(w)) {
        QString shown = text;
        shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
        return overflow(w->font(), w->rect().adjusted(4, 2, -4, -2),
                        Qt::AlignCenter | Qt::TextWordWrap, shown);
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        const int m = l->margin();
        const QRect room = l->contentsRect().adjusted(m, m, -m, -m);
        return overflow(l->font(), room,
                        int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0), text);
    }
    return QStringLiteral("no rule for %1").arg(QString::fromLatin1(w->metaObject()->className()));
}

QString headerMisfit(QTableView* grid, int column, const QString& text) {
    // The header sections are padded 4 pixels left and right and carry a 1-pixel rule.
    QHeaderView* header = grid->horizontalHeader();
    const QRect room(0, 0, header->sectionSize(column) - 9, header->height());
    return overflow(header->font(), room, Qt::AlignCenter, text);
}

class CaptionFit : public ::testing::Test {
protected:
    void SetUp() override { fx.copyShippedLanguages(); }
    void TearDown() override { SetLanguageFile(QStringLiteral("English.ini")); }
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
};

} // namespace

TEST_F(CaptionFit, EveryCaptionOfEveryLanguageFitsItsControl) {
    frmMain w;
    ASSERT_TRUE(w.load());
    ASSERT_GE(w.ComboLang->count(), 6);
    for (int lang = 0; lang < w.ComboLang->count(); ++lang) {
        w.ComboLang->setCurrentIndex(lang);
        w.ComboLang_Click();
        SCOPED_TRACE(LanguageFile().toStdString());
        for (const CaptionEntry& e : CaptionTable()) {
            if (e.target == CaptionTarget::ToolTip)
                continue;
            const QString text = GetCaption(e.key, QString::fromUtf8(e.defaultText));
            const QString bad =
                e.target == CaptionTarget::Header
                    ? headerMisfit(w.Grid, e.column, text)
                    : misfit(w.findChild<QWidget*>(QString::fromLatin1(e.control)), text);
            EXPECT_TRUE(bad.isEmpty()) << e.control << " " << e.key << " \"" << text.toStdString()
                                       << "\": " << bad.toStdString();
        }
        // The pause button also shows "Resume" while a preview is paused.
        const QString resume = GetCaption(100016, QStringLiteral("Resume"));
        EXPECT_EQ(misfit(w.cmdPause, resume), QString()) << resume.toStdString();
    }
    // Controls grown for their captions still leave their neighbours alone.
    for (const CaptionEntry& e : CaptionTable()) {
        QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(e.control));
        // Panels are containers; the two sliding ones share their parking place.
        if (e.target == CaptionTarget::Header || e.target == CaptionTarget::ToolTip || !c ||
            !c->parentWidget() || qobject_cast<FramePanel*>(c))
            continue;
        for (QWidget* other :
             c->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != c && !other->isHidden() && other->geometry().intersects(c->geometry()))
                ADD_FAILURE() << e.control << " overlaps " << other->objectName().toStdString();
        }
    }
}
