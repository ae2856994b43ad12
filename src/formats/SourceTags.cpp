#include "formats/SourceTags.h"

#include "engine/UserFile.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <cstring>

namespace kv {
namespace {

using Clock = std::chrono::steady_clock;

// Reading the tags reads only the header; a file that takes longer, or more, is not worth it.
constexpr auto kReadTime = std::chrono::seconds(10);
constexpr std::int64_t kReadBudget = 64LL * 1024 * 1024;

struct ReadGuard {
    Clock::time_point deadline;
    const UserInput* input = nullptr;
    static int check(void* opaque) {
        const auto* g = static_cast<const ReadGuard*>(opaque);
        if (Clock::now() >= g->deadline)
            return 1;
        return g->input != nullptr && g->input->bytesRead() > kReadBudget;
    }
};

// FFmpeg's names for each field, in the order they are looked for.
const std::array<std::initializer_list<const char*>, kTagFieldCount> kKeys = {{
    {"title"},
    {"artist"},
    {"album"},
    {"album_artist", "albumartist", "album artist"},
    {"track", "tracknumber"},
    {"disc", "discnumber"},
    {"date", "year", "WM/Year"},
    {"genre"},
    {"comment", "description"},
}};

const char* value(const AVDictionary* dict, const char* key) {
    const AVDictionaryEntry* e = av_dict_get(dict, key, nullptr, 0); // any case
    return e != nullptr && e->value != nullptr && e->value[0] != '\0' ? e->value : nullptr;
}

// A count kept apart ("TRACKTOTAL") joins its number as "3/12".
void addTotal(QString& number, const AVDictionary* dict, const char* a, const char* b) {
    if (number.isEmpty() || number.contains(QLatin1Char('/')))
        return;
    const char* total = value(dict, a);
    if (total == nullptr)
        total = value(dict, b);
    if (total != nullptr)
        number += QLatin1Char('/') + QString::fromUtf8(total).trimmed();
}

void readTexts(const AVDictionary* dict, SourceTags& tags) {
    for (int f = 0; f < kTagFieldCount; ++f) {
        if (!tags.texts[f].isEmpty())
            continue;
        for (const char* key : kKeys[f]) {
            if (const char* v = value(dict, key)) {
                tags.texts[f] = QString::fromUtf8(v); // bad bytes become U+FFFD
                break;
            }
        }
    }
    addTotal(tags.text(TagField::Track), dict, "tracktotal", "totaltracks");
    addTotal(tags.text(TagField::Disc), dict, "disctotal", "totaldiscs");
}

QString mimeOf(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_MJPEG:
        return QStringLiteral("image/jpeg");
    case AV_CODEC_ID_PNG:
        return QStringLiteral("image/png");
    case AV_CODEC_ID_GIF:
        return QStringLiteral("image/gif");
    case AV_CODEC_ID_BMP:
        return QStringLiteral("image/bmp");
    case AV_CODEC_ID_WEBP:
        return QStringLiteral("image/webp");
    default:
        return QString();
    }
}

// The picture marked as the front cover, else the first attached picture.
const AVStream* coverStream(const AVFormatContext* fmt) {
    const AVStream* first = nullptr;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        if (!(st->disposition & AV_DISPOSITION_ATTACHED_PIC) || st->attached_pic.size <= 0)
            continue;
        const char* kind = value(st->metadata, "comment");
        if (kind != nullptr && std::strcmp(kind, "Cover (front)") == 0)
            return st;
        if (first == nullptr)
            first = st;
    }
    return first;
}

void readCover(const AVFormatContext* fmt, SourceTags& tags) {
    const AVStream* st = coverStream(fmt);
    if (st == nullptr)
        return;
    const QString mime = mimeOf(st->codecpar->codec_id);
    if (mime.isEmpty()) {
        tags.leftOut << QStringLiteral("cover picture in an unknown image format");
        return;
    }
    if (st->attached_pic.size > kMaxCoverBytes) {
        tags.leftOut << QStringLiteral("cover picture of %1 bytes, more than %2")
                            .arg(st->attached_pic.size)
                            .arg(kMaxCoverBytes);
        return;
    }
    tags.cover = QByteArray(reinterpret_cast<const char*>(st->attached_pic.data),
                            st->attached_pic.size);
    tags.coverMime = mime;
    tags.coverWidth = st->codecpar->width;
    tags.coverHeight = st->codecpar->height;
}

} // namespace

bool SourceTags::empty() const {
    for (const QString& t : texts) {
        if (!t.isEmpty())
            return false;
    }
    return cover.isEmpty();
}

SourceTags ReadSourceTags(const QString& path) {
    SourceTags tags;
    const std::shared_ptr<UserFile> file = UserFile::open(path);
    if (!file)
        return tags;
    // The guard outlives the input, which may ask it until it is closed.
    ReadGuard guard{Clock::now() + kReadTime};
    UserInput input;
    guard.input = &input;
    if (input.open(file, nullptr, &ReadGuard::check, &guard) < 0)
        return tags;
    AVFormatContext* fmt = input.format();
    readTexts(fmt->metadata, tags);
    const int audio = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audio >= 0)
        readTexts(fmt->streams[audio]->metadata, tags);
    for (QString& t : tags.texts) {
        if (t.size() > kMaxTagTextChars) {
            tags.leftOut << QStringLiteral("a text of %1 characters").arg(t.size());
            t.clear();
        }
    }
    readCover(fmt, tags);
    return tags;
}

} // namespace kv
