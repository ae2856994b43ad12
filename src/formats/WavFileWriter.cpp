#include "formats/WavFileWriter.h"

#include "formats/LittleEndian.h"
#include "formats/OutputFile.h"

#include <QtEndian>

#include <algorithm>
#include <vector>

#include <unistd.h>

namespace kv {
namespace {

QByteArray formatChunk(const WavLayout& f) {
    QByteArray b("fmt ", 4);
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, static_cast<std::uint16_t>(f.channels));
    put32(b, static_cast<std::uint32_t>(f.sampleRate));
    put32(b, static_cast<std::uint32_t>(f.byteRate()));
    put16(b, static_cast<std::uint16_t>(f.blockAlign()));
    put16(b, static_cast<std::uint16_t>(f.bitsPerSample));
    return b;
}

constexpr qint64 kDs64ChunkBytes = 36; // "ds64", size 28, three 64-bit sizes, table length
} // namespace

QByteArray WavFileWriter::PlainHeader(const WavLayout& format, std::uint32_t dataBytes) {
    QByteArray h("RIFF", 4);
    put32(h, dataBytes == 0 ? 0 : dataBytes + 36);
    h.append("WAVE", 4);
    h.append(formatChunk(format));
    h.append("data", 4);
    put32(h, dataBytes);
    return h;
}

bool WavFileWriter::create(const QString& path, const WavLayout& format) {
    format_ = format;
    dataBytes_ = 0;
    path_ = path;
    error_.clear();
    if (!format.fitsHeader()) {
        error_ = QStringLiteral("%1: a WAV header cannot hold %2 Hz, %3 channels of %4 bits")
                         .arg(path)
                         .arg(format.sampleRate)
                         .arg(format.channels)
                         .arg(format.bitsPerSample);
        return false;
    }
    // Read access too: the RF64 rewrite moves the samples within the file.
    if (!OpenClaimedOutput(file_, path, &error_))
        return false;
    const QByteArray header = PlainHeader(format, 0);
    if (file_.write(header) != header.size()) {
        keepError();
        discard();
        return false;
    }
    return true;
}

void WavFileWriter::keepError() {
    if (error_.isEmpty())
        error_ = path_ + QStringLiteral(": ") + file_.errorString();
}

QString WavFileWriter::errorString() const {
    if (!error_.isEmpty())
        return error_;
    return path_ + QStringLiteral(": ") + file_.errorString();
}

bool WavFileWriter::write(const char* data, std::int64_t bytes) {
    // A short write is tried on, so the write that fails tells why (disk full, file too
    // large).
    while (bytes > 0) {
        const qint64 written = file_.write(data, bytes);
        if (written <= 0)
            return false;
        data += written;
        bytes -= written;
        dataBytes_ += static_cast<std::uint64_t>(written);
    }
    // The sizes so far, so a file cut short (the program killed) plays as far as it goes;
    // finish() writes the final ones and says when that fails. RF64 waits for finish().
    if (dataBytes_ <= plainLimit_) {
        const auto whole = static_cast<std::uint32_t>(
            dataBytes_ -
            dataBytes_ % static_cast<std::uint64_t>(std::max(1, format_.blockAlign())));
        stateSizes(whole + 36, whole);
    }
    return true;
}

bool WavFileWriter::stateSizes(std::uint32_t riffBytes, std::uint32_t dataBytes) {
    QByteArray riff, data;
    put32(riff, riffBytes);
    put32(data, dataBytes);
    return ::pwrite(file_.handle(), riff.constData(), 4, 4) == 4 &&
           ::pwrite(file_.handle(), data.constData(), 4, 40) == 4;
}

bool WavFileWriter::finish() {
    if (!file_.isOpen())
        return false;
    bool ok = file_.flush();
    if (ok && dataBytes_ > plainLimit_) {
        ok = rewriteAsRf64();
    } else if (ok) {
        QByteArray riff, data;
        put32(riff, static_cast<std::uint32_t>(dataBytes_ + 36));
        put32(data, static_cast<std::uint32_t>(dataBytes_));
        ok = file_.seek(4) && file_.write(riff) == 4 && file_.seek(40) && file_.write(data) == 4;
    }
    ok = file_.flush() && ok && file_.error() == QFileDevice::NoError;
    // Closing forgets the reason.
    if (!ok)
        keepError();
    file_.close();
    return ok;
}

void WavFileWriter::abandon() {
    if (file_.isOpen()) {
        stateSizes(0, 0);
        file_.close();
    }
}

void WavFileWriter::discard() {
    if (file_.isOpen())
        RemoveOwnOutput(file_.handle(), path_);
    abandon();
}

bool WavFileWriter::rewriteAsRf64() {
    // Make room for the ds64 chunk after "WAVE" by moving everything behind it, last block
    // first. Growing the file first means a full disk is found before anything moves.
    const qint64 oldSize = file_.size();
    if (!file_.resize(oldSize + kDs64ChunkBytes))
        return false;
    constexpr qint64 kBlock = 1 << 20;
    std::vector<char> buffer(static_cast<size_t>(kBlock));
    qint64 end = oldSize;
    while (end > 12) {
        const qint64 start = std::max<qint64>(12, end - kBlock);
        const qint64 n = end - start;
        if (!file_.seek(start) || file_.read(buffer.data(), n) != n)
            return false;
        if (!file_.seek(start + kDs64ChunkBytes) || file_.write(buffer.data(), n) != n)
            return false;
        end = start;
    }
    const std::uint64_t fileBytes = static_cast<std::uint64_t>(oldSize + kDs64ChunkBytes);
    QByteArray head("RF64", 4);
    put32(head, 0xFFFFFFFFu);
    head.append("WAVE", 4);
    head.append("ds64", 4);
    put32(head, 28);
    put64(head, fileBytes - 8);
    put64(head, dataBytes_);
    put64(head, dataBytes_ / static_cast<std::uint64_t>(std::max(1, format_.blockAlign())));
    put32(head, 0);
    head.append(formatChunk(format_));
    head.append("data", 4);
    put32(head, 0xFFFFFFFFu);
    return file_.seek(0) && file_.write(head) == head.size();
}

} // namespace kv
