#include "controls/SliderAccessible.h"

#include "controls/Slider.h"

#include <QAccessibleWidget>

namespace kv {
namespace {

class SliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(Slider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return QString::number(slider()->value());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return slider()->value(); }
    void setCurrentValue(const QVariant& value) override { slider()->setValue(value.toInt()); }
    QVariant maximumValue() const override { return slider()->max(); }
    QVariant minimumValue() const override { return slider()->min(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    Slider* slider() const { return static_cast<Slider*>(object()); }
};

QAccessibleInterface* sliderFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(Slider::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new SliderAccessible(static_cast<Slider*>(object));
    return nullptr;
}

} // namespace

void InstallSliderAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(sliderFactory);
        return true;
    }();
    (void)installed;
}

} // namespace kv
