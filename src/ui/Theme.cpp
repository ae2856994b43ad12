#include "ui/Theme.h"

#include "ui/Colors.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>

namespace kv {
namespace {
void setBackground(QWidget* w, QPalette::ColorRole role, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(role, c);
    w->setPalette(pal);
}

// The slider's colour properties may be typed as colours or as 0x00BBGGRR numbers.
void setColourProperty(QWidget* w, const char* name, std::uint32_t bgr) {
    const int i = w->metaObject()->indexOfProperty(name);
    if (i < 0)
        return;
    const QMetaProperty prop = w->metaObject()->property(i);
    if (prop.metaType().id() == QMetaType::QColor)
        prop.write(w, FromBgr(bgr));
    else
        prop.write(w, QVariant::fromValue(bgr).value<quint32>());
}

bool isSlider(const QWidget* w) {
    return w->metaObject()->indexOfProperty("ForeColor2") >= 0;
}
} // namespace

void ApplyTheme(QWidget* window, ThemePalette& palette) {
    palette.lThemeColor1 = 0x00FFC0FF;
    palette.lThemeColor2 = 0x00FF80FF;
    palette.lThemeColor3 = 0x00800080;
    palette.lThemeColor4 = 0x00400040;
    const QColor c1 = FromBgr(palette.lThemeColor1);
    const QColor c2 = FromBgr(palette.lThemeColor2);
    const QColor c3 = FromBgr(palette.lThemeColor3);
    const QColor c4 = FromBgr(palette.lThemeColor4);

    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (auto* panel = qobject_cast<FramePanel*>(w)) {
            if (panel->objectName() == QLatin1String("MyFrame1"))
                continue;
            panel->setBodyColorBottomLeft(c1);
            panel->setBodyColorBottomRight(c2);
            panel->setBodyColorTopLeft(c1);
            panel->setBorderColor(c3);
            panel->setForeColor(c4);
            panel->setHeaderColorBottomLeft(c3);
            panel->setHeaderColorTopLeft(c2);
        } else if (auto* button = qobject_cast<MyButton*>(w)) {
            button->setBackColor(c1);
            button->setBackColorDisabled(c1);
            button->setBackColorFocus(c1);
            button->setBorderColor(c1);
            button->setToolTipBackColor(c1);
        } else if (qobject_cast<QLineEdit*>(w)) {
            setBackground(w, QPalette::Base, c1);
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            if (view->objectName() == QLatin1String("Grid"))
                setBackground(view, QPalette::Base, c1);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            // The closed box paints with the button role, its open list with the base role.
            if (combo->objectName() != QLatin1String("ComboLang")) {
                setBackground(combo, QPalette::Base, c1);
                setBackground(combo, QPalette::Button, c1);
            }
        } else if (isSlider(w)) {
            setColourProperty(w, "BackColor", palette.lThemeColor1);
            setColourProperty(w, "ForeColor2", palette.lThemeColor1);
            setColourProperty(w, "ForeColor", 0x00FF80FF);
        } else if (qobject_cast<QLabel*>(w)) {
            setBackground(w, QPalette::WindowText, c4);
        } else if (auto* frame = qobject_cast<QFrame*>(w);
                   frame &&
                   (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine)) {
            setBackground(w, QPalette::WindowText, c4);
        }
    }
}

} // namespace kv
