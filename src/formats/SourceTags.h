#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>

namespace kv {

// The fields carried from a source into its output, in this order.
enum class TagField : int {
    Title,
    Artist,
    Album,
    AlbumArtist,
    Track, // "3" or "3/12"
    Disc,  // "1" or "1/2"
    Date,
    Genre,
    Comment,
};
inline constexpr int kTagFieldCount = 9;

// Limits that keep a hostile source from costing memory or breaking an output: ASF keeps a
// text's length in 16 bits, and no player wants a cover of more than a few megabytes.
inline constexpr int kMaxTagTextChars = 16000;
inline constexpr qsizetype kMaxCoverBytes = 16 * 1024 * 1024;

struct SourceTags {
    std::array<QString, kTagFieldCount> texts; // empty when the source has none
    QByteArray cover;                          // the front cover picture's bytes
    QString coverMime;                         // "image/jpeg", "image/png"...
    int coverWidth = 0, coverHeight = 0;       // 0 when not known
    QStringList leftOut;                       // what the source has that cannot be carried

    const QString& text(TagField f) const { return texts[static_cast<int>(f)]; }
    QString& text(TagField f) { return texts[static_cast<int>(f)]; }
    bool empty() const;
};

// The tags of a file FFmpeg reads: the container's and its first audio stream's (Ogg and
// FLAC keep Vorbis comments on the stream), and the front cover of its attached pictures.
// Texts that are not UTF-8 come with U+FFFD in place of the bad bytes. Nothing when FFmpeg
// cannot open the file (a CD track, a module); never fails otherwise.
SourceTags ReadSourceTags(const QString& path);

} // namespace kv
