#pragma once

#include <QFile>
#include <QString>

#include <cstdint>

namespace kv {

struct WavLayout {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 16;
    int blockAlign() const { return channels * bitsPerSample / 8; }
    std::uint64_t byteRate() const {
        return static_cast<std::uint64_t>(sampleRate) * static_cast<std::uint64_t>(blockAlign());
    }
    // Whether the header's 32-bit rate fields and 16-bit channel count can state it.
    bool fitsHeader() const {
        return sampleRate > 0 && channels > 0 && channels <= 0xFFFF && blockAlign() > 0 &&
               blockAlign() <= 0xFFFF && byteRate() <= 0xFFFFFFFFu;
    }
};

// Writes a PCM WAVE file: the 44-byte header first with zero sizes, the samples as they
// come, the sizes patched at the end. Data past what 32-bit sizes can state is kept: the file
// is then rewritten in the RF64 form, so no file claims a wrong size.
class WavFileWriter {
public:
    // Largest data size the plain form states (its RIFF size is data + 36).
    static constexpr std::uint64_t kMaxPlainDataBytes = 0xFFFFFFFFull - 36;

    // Opens the file (missing, or the empty one claimed for this output; see
    // OpenClaimedOutput) and writes the header. False when it cannot, or when the header
    // cannot state the format (a rate whose byte rate passes 32 bits): then no file is made.
    bool create(const QString& path, const WavLayout& format);
    bool write(const char* data, std::int64_t bytes);
    // Patches the sizes and closes the file; false when the file could not be finished.
    bool finish();
    // Closes the file as it is, sizes left at 0.
    void abandon();
    // The failure path: closes the file and removes it while its name still leads to it.
    void discard();

    std::uint64_t dataBytes() const { return dataBytes_; }
    // The file and the system's reason of the last failure.
    QString errorString() const;

    // Tests lower the limit to reach the RF64 form without gigabytes of data.
    void setPlainLimit(std::uint64_t bytes) { plainLimit_ = bytes; }

    // The 44-byte header of the plain form.
    static QByteArray PlainHeader(const WavLayout& format, std::uint32_t dataBytes);

private:
    bool rewriteAsRf64();
    bool stateSizes(std::uint32_t riffBytes, std::uint32_t dataBytes);
    void keepError();
    QFile file_;
    QString path_;
    QString error_;
    WavLayout format_;
    std::uint64_t dataBytes_ = 0;
    std::uint64_t plainLimit_ = kMaxPlainDataBytes;
};

} // namespace kv
