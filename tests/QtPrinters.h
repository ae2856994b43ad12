#pragma once

#include <QString>

#include <ostream>

// Failure messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

#include <QUrl>

inline void PrintTo(const QUrl& url, std::ostream* os) {
    *os << '<' << url.toString().toStdString() << '>';
}
