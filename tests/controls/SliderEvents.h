#pragma once

#include "controls/Slider.h"

#include <QObject>
#include <QString>
#include <QStringList>

// Records a slider's events in the order they are raised, with their arguments.
struct SliderEvents {
    explicit SliderEvents(kv::Slider& s) {
        QObject::connect(&s, &kv::Slider::DblClick, [this](int& v) {
            log << QStringLiteral("DblClick(%1)").arg(v);
            if (replaceDblClickValue)
                v = *replaceDblClickValue;
        });
        QObject::connect(&s, &kv::Slider::Scroll, [this] { log << QStringLiteral("Scroll"); });
        QObject::connect(&s, &kv::Slider::Change, [this] { log << QStringLiteral("Change"); });
        QObject::connect(&s, &kv::Slider::Click, [this] { log << QStringLiteral("Click"); });
        QObject::connect(&s, &kv::Slider::MouseUp, [this](short& b, short& sh, float& x, float& y) {
            log << QStringLiteral("MouseUp(%1,%2,%3,%4)").arg(b).arg(sh).arg(x).arg(y);
        });
    }
    QStringList take() {
        QStringList out = log;
        log.clear();
        return out;
    }

    QStringList log;
    const int* replaceDblClickValue = nullptr;
};
