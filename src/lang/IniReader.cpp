#include "lang/IniReader.h"

#include <QFile>
#include <QStringView>

namespace kv {

QString ReadIniValue(const QString& file, const QString& section, const QString& key,
                     const QString& defaultText) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return defaultText;
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    bool inSection = false;
    const QStringView view(text);
    for (QStringView line : view.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.front() == u';' || line.front() == u'#')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            const QStringView name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.mid(eq + 1).trimmed().toString();
        if (value.size() > kMaxIniValueLength) {
            // Never split a surrogate pair at the cut.
            qsizetype cut = kMaxIniValueLength;
            if (value.at(cut - 1).isHighSurrogate())
                --cut;
            value.truncate(cut);
        }
        return value;
    }
    return defaultText;
}

} // namespace kv
