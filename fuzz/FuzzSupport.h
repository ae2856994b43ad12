#pragma once

// Shared by the fuzz targets: a private scratch folder for parsers that read from a path, and
// a check that stops the run with a message the fuzzer keeps beside the input.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kvfuzz {

inline const QString& scratch() {
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

// Writes `size` bytes to the scratch file `name`, replacing what was there.
inline QString writeScratch(const QString& name, const std::uint8_t* data, std::size_t size) {
    const QString path = scratch() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        std::fprintf(stderr, "cannot write the scratch file %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

} // namespace kvfuzz

#define KV_FUZZ_CHECK(cond)                                                                        \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
