#include "engine/CueImage.h"

#include "settings/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {

namespace {

// A sheet is a few kilobytes; anything much larger is not one.
constexpr std::int64_t kMaxCueBytes = 1024 * 1024;
constexpr std::int64_t kAudioSectorBytes = 2352;
constexpr int kFramesPerSecond = 75;

struct Mode {
    const char* name;
    bool audio;
    int bytes;
};
constexpr Mode kModes[] = {
    {"AUDIO", true, 2352},       {"CDG", true, 2448},         {"MODE1/2048", false, 2048},
    {"MODE1/2352", false, 2352}, {"MODE2/2048", false, 2048}, {"MODE2/2324", false, 2324},
    {"MODE2/2336", false, 2336}, {"MODE2/2352", false, 2352}, {"CDI/2336", false, 2336},
    {"CDI/2352", false, 2352},
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The words of a line; a quoted word keeps its blanks. Nothing when a quote is left open.
std::optional<std::vector<QByteArray>> words(QByteArrayView line) {
    std::vector<QByteArray> out;
    qsizetype i = 0;
    while (true) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            return out;
        if (line[i] == '"') {
            const qsizetype close = line.indexOf('"', i + 1);
            if (close < 0)
                return std::nullopt;
            out.push_back(line.sliced(i + 1, close - i - 1).toByteArray());
            i = close + 1;
        } else {
            const qsizetype from = i;
            while (i < line.size() && !isBlank(line[i]))
                ++i;
            out.push_back(line.sliced(from, i - from).toByteArray());
        }
    }
}

// A number of at most `digits` digits.
std::optional<int> number(const QByteArray& text, int digits) {
    if (text.isEmpty() || text.size() > digits)
        return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// "mm:ss:ff" in sectors.
std::optional<std::int64_t> msf(const QByteArray& text) {
    const QList<QByteArray> parts = text.split(':');
    if (parts.size() != 3)
        return std::nullopt;
    const std::optional<int> m = number(parts[0], 4), s = number(parts[1], 2),
                             f = number(parts[2], 2);
    if (!m || !s || !f || *s >= 60 || *f >= kFramesPerSecond)
        return std::nullopt;
    return (static_cast<std::int64_t>(*m) * 60 + *s) * kFramesPerSecond + *f;
}

// A track being read: its indexes so far.
struct OpenTrack {
    CueSheetTrack track;
    int lastIndex = -1;
    std::int64_t lastTime = 0;
    bool hasStart = false;
};

} // namespace

std::optional<CueSheet> ParseCueSheet(QByteArrayView text) {
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    CueSheet sheet;
    std::optional<OpenTrack> open;
    bool fileHasTrack = true;
    std::int64_t fileEnd = 0; // the last position the file's tracks reached
    auto closeTrack = [&]() {
        if (!open)
            return true;
        if (!open->hasStart)
            return false;
        sheet.tracks.push_back(open->track);
        fileEnd = open->lastTime;
        open.reset();
        return true;
    };
    qsizetype from = 0;
    while (from <= text.size()) {
        qsizetype end = from;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArrayView line = text.sliced(from, end - from);
        from = end + 1;
        const std::optional<std::vector<QByteArray>> w = words(line);
        if (!w)
            return std::nullopt;
        if (w->empty())
            continue;
        const QByteArray key = (*w)[0].toUpper();
        if (key == "FILE") {
            // FILE "name" TYPE, or a bare name (blanks and all) before the last word.
            const QByteArrayView whole = line.trimmed();
            if (whole.first(4).toByteArray().toUpper() != "FILE")
                return std::nullopt; // a quoted keyword
            const QByteArrayView rest = whole.sliced(4).trimmed();
            QByteArray name;
            QByteArray type;
            if (rest.startsWith('"')) {
                if (w->size() != 3)
                    return std::nullopt;
                name = (*w)[1];
                type = (*w)[2].toUpper();
            } else {
                qsizetype blank = rest.size() - 1;
                while (blank >= 0 && !isBlank(rest[blank]))
                    --blank;
                if (blank < 0)
                    return std::nullopt;
                name = rest.first(blank).trimmed().toByteArray();
                type = rest.sliced(blank + 1).toByteArray().toUpper();
            }
            if (name.isEmpty() || name.contains('\0') || (type != "BINARY" && type != "MOTOROLA"))
                return std::nullopt;
            if (!closeTrack() || !fileHasTrack)
                return std::nullopt;
            sheet.files.push_back({name, type == "MOTOROLA"});
            fileHasTrack = false;
            fileEnd = 0;
        } else if (key == "TRACK") {
            if (w->size() != 3 || sheet.files.empty() || !closeTrack())
                return std::nullopt;
            const std::optional<int> n = number((*w)[1], 2);
            const QByteArray modeName = (*w)[2].toUpper();
            const Mode* mode = std::find_if(std::begin(kModes), std::end(kModes),
                                            [&](const Mode& m) { return modeName == m.name; });
            const int previous = sheet.tracks.empty() ? 0 : sheet.tracks.back().number;
            if (!n || *n <= previous || mode == std::end(kModes))
                return std::nullopt;
            open = OpenTrack{};
            open->track.number = *n;
            open->track.audio = mode->audio;
            open->track.sectorBytes = mode->bytes;
            open->track.file = static_cast<int>(sheet.files.size()) - 1;
            open->lastTime = fileEnd;
            fileHasTrack = true;
        } else if (key == "INDEX") {
            if (w->size() != 3 || !open)
                return std::nullopt;
            const std::optional<int> n = number((*w)[1], 2);
            const std::optional<std::int64_t> at = msf((*w)[2]);
            // Indexes rise in number and in time, within the track and across its file.
            if (!n || !at || *n <= open->lastIndex || *at < open->lastTime ||
                (*n > 1 && !open->hasStart))
                return std::nullopt;
            if (open->lastIndex < 0)
                open->track.begin = *at;
            if (*n == 1) {
                open->track.start = *at;
                open->hasStart = true;
            }
            open->lastIndex = *n;
            open->lastTime = *at;
        } else if (key == "PREGAP" || key == "POSTGAP") {
            // Silence a disc writer adds; no sector of it is in the file.
            if (w->size() != 2 || !open || !msf((*w)[1]))
                return std::nullopt;
        }
        // Everything else (REM, TITLE, PERFORMER, FLAGS, ISRC, CATALOG...) says nothing about
        // where the audio lies.
    }
    if (!closeTrack() || !fileHasTrack || sheet.tracks.empty())
        return std::nullopt;
    return sheet;
}

std::vector<CueTrackExtent> LayOutCueImage(const CueSheet& sheet,
                                           const std::vector<std::int64_t>& fileBytes) {
    std::vector<CueTrackExtent> out;
    // Byte position of each track's first index in its file: the sectors before it are of the
    // sizes of the tracks they belong to.
    std::vector<std::int64_t> beginAt(sheet.tracks.size());
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueSheetTrack& t = sheet.tracks[i];
        const bool firstOfFile = i == 0 || sheet.tracks[i - 1].file != t.file;
        if (firstOfFile) {
            beginAt[i] = t.begin * t.sectorBytes;
        } else {
            const CueSheetTrack& p = sheet.tracks[i - 1];
            beginAt[i] = beginAt[i - 1] + (t.begin - p.begin) * p.sectorBytes;
        }
    }
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueSheetTrack& t = sheet.tracks[i];
        const std::int64_t size =
            static_cast<size_t>(t.file) < fileBytes.size() ? fileBytes[t.file] : 0;
        CueTrackExtent e;
        e.number = t.number;
        e.audio = t.audio;
        e.file = t.file;
        e.sectorBytes = t.sectorBytes;
        e.offset = beginAt[i] + (t.start - t.begin) * t.sectorBytes;
        std::int64_t end = size;
        bool lastOfFile = true;
        if (i + 1 < sheet.tracks.size() && sheet.tracks[i + 1].file == t.file) {
            const CueSheetTrack& n = sheet.tracks[i + 1];
            lastOfFile = false;
            end = beginAt[i + 1];
            if (t.audio && n.audio && n.sectorBytes == t.sectorBytes)
                end += (n.start - n.begin) * n.sectorBytes;
        }
        e.readable = end > e.offset && (lastOfFile || end <= size);
        if (e.readable) {
            const std::int64_t span = end - e.offset;
            const std::int64_t audioBytes =
                std::min<std::int64_t>(t.sectorBytes, kAudioSectorBytes);
            e.sectors = (span + t.sectorBytes - 1) / t.sectorBytes;
            e.present =
                span / t.sectorBytes * audioBytes + std::min(span % t.sectorBytes, audioBytes);
        }
        out.push_back(e);
    }
    return out;
}

bool ReadFully(int fd, char* out, std::int64_t bytes, std::int64_t offset) {
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, out, static_cast<size_t>(bytes), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        bytes -= n;
        offset += n;
    }
    return true;
}

namespace {

QByteArray realPath(const QByteArray& path) {
    char* real = ::realpath(path.constData(), nullptr);
    if (real == nullptr)
        return {};
    QByteArray out(real);
    std::free(real);
    return out;
}

} // namespace

std::optional<QByteArray> ReadCueSheetFile(const QString& cuePath) {
    struct stat st {};
    const UniqueFd fd = OpenRegularFile(QFile::encodeName(cuePath), &st);
    if (!fd.valid() || st.st_size > kMaxCueBytes)
        return std::nullopt;
    QByteArray text(static_cast<qsizetype>(st.st_size), Qt::Uninitialized);
    if (!ReadFully(fd.get(), text.data(), st.st_size, 0))
        return std::nullopt;
    return text;
}

bool IsCueImageSheet(const QString& cuePath) {
    const std::optional<QByteArray> text = ReadCueSheetFile(cuePath);
    return text && ParseCueSheet(*text);
}

QStringList CueImageDataFiles(const QString& cuePath) {
    const std::optional<QByteArray> text = ReadCueSheetFile(cuePath);
    const std::optional<CueSheet> sheet = text ? ParseCueSheet(*text) : std::nullopt;
    QStringList out;
    if (!sheet)
        return out;
    const QByteArray folder = NativePath(QFileInfo(cuePath).path());
    for (const CueSheetFile& file : sheet->files) {
        const QByteArray named = file.name.startsWith('/') ? file.name : folder + '/' + file.name;
        out << QDir::cleanPath(PathFromNative(named));
    }
    return out;
}

std::optional<OpenedCueImage> OpenCueImage(const QString& cuePath) {
    const std::optional<QByteArray> text = ReadCueSheetFile(cuePath);
    std::optional<CueSheet> sheet = text ? ParseCueSheet(*text) : std::nullopt;
    if (!sheet)
        return std::nullopt;
    const QByteArray folder = QFile::encodeName(QFileInfo(cuePath).absolutePath());
    const QByteArray realFolder = realPath(folder);
    if (realFolder.isEmpty())
        return std::nullopt;
    const QByteArray inside = realFolder.endsWith('/') ? realFolder : realFolder + '/';
    OpenedCueImage image;
    for (const CueSheetFile& file : sheet->files) {
        // The data must lie in the sheet's folder or below it, wherever links and ".." lead.
        const QByteArray named = file.name.startsWith('/') ? file.name : folder + '/' + file.name;
        const QByteArray real = realPath(named);
        if (!real.startsWith(inside))
            return std::nullopt;
        struct stat st {};
        UniqueFd fd = OpenRegularFile(real, &st, O_NOFOLLOW);
        if (!fd.valid())
            return std::nullopt;
        image.files.push_back(std::move(fd));
        image.sizes.push_back(st.st_size);
    }
    image.tracks = LayOutCueImage(*sheet, image.sizes);
    image.sheet = std::move(*sheet);
    return image;
}

} // namespace kv
