#include "formats/TagWriter.h"

#include "formats/ErrorLog.h"
#include "formats/Format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

using TagLib::ByteVector;
using TagLib::String;

String tagString(const QString& text) {
    return String(text.toUtf8().constData(), String::UTF8);
}

ByteVector bytes(const QByteArray& data) {
    return ByteVector(data.constData(), static_cast<unsigned>(data.size()));
}

// The file TagLib writes through. TagLib's own stream lets a failed write pass unnoticed (a
// full disk would leave a damaged file reported as saved); here every read and write is
// checked, and one failure marks the whole save as failed.
class CheckedStream final : public TagLib::IOStream {
public:
    explicit CheckedStream(const QByteArray& path)
        : path_(path), fd_(::open(path.constData(), O_RDWR | O_CLOEXEC)) {
        if (fd_ < 0)
            fail();
    }
    ~CheckedStream() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool failed() const { return failed_; }
    // The system's error number of the first failure; 0 when there was none or it had none.
    int error() const { return error_; }

    TagLib::FileName name() const override { return path_.constData(); }
    ByteVector readBlock(unsigned long length) override {
        ByteVector v(static_cast<unsigned>(length), '\0');
        const ssize_t n = failed_ ? -1 : ::pread(fd_, v.data(), length, pos_);
        if (n < 0) {
            fail();
            return ByteVector();
        }
        v.resize(static_cast<unsigned>(n));
        pos_ += n;
        return v;
    }
    void writeBlock(const ByteVector& data) override {
        writeAt(pos_, data.data(), data.size());
        pos_ += data.size();
    }
    void insert(const ByteVector& data, unsigned long start, unsigned long replace) override {
        const long size = length();
        const long delta = static_cast<long>(data.size()) - static_cast<long>(replace);
        const long tail = static_cast<long>(start + replace);
        if (delta > 0) // the rest moves up, from its end backwards
            for (long end = size; end > tail && !failed_;) {
                const long n = std::min<long>(kBlock, end - tail);
                end -= n;
                move(end, end + delta, n);
            }
        else if (delta < 0)
            shiftDown(tail, tail + delta, size);
        writeAt(static_cast<long>(start), data.data(), data.size());
        pos_ = static_cast<long>(start + data.size());
    }
    void removeBlock(unsigned long start, unsigned long length) override {
        shiftDown(static_cast<long>(start + length), static_cast<long>(start), this->length());
    }
    bool readOnly() const override { return false; }
    bool isOpen() const override { return fd_ >= 0; }
    void seek(long offset, Position p) override {
        pos_ = p == Beginning ? offset : p == Current ? pos_ + offset : length() + offset;
    }
    long tell() const override { return pos_; }
    long length() override {
        struct stat st {};
        if (failed_ || ::fstat(fd_, &st) != 0) {
            fail();
            return 0;
        }
        return static_cast<long>(st.st_size);
    }
    void truncate(long length) override {
        if (failed_ || ::ftruncate(fd_, length) != 0)
            fail();
    }

private:
    static constexpr long kBlock = 1 << 20;

    void fail() {
        if (!failed_)
            error_ = errno;
        failed_ = true;
    }

    void writeAt(long at, const char* data, size_t size) {
        while (size > 0 && !failed_) {
            const ssize_t n = ::pwrite(fd_, data, size, at);
            if (n <= 0) {
                fail();
                return;
            }
            data += n;
            size -= static_cast<size_t>(n);
            at += n;
        }
    }
    void move(long from, long to, long n) {
        std::vector<char> block(static_cast<size_t>(n));
        if (failed_ || ::pread(fd_, block.data(), block.size(), from) != n)
            fail();
        writeAt(to, block.data(), block.size());
    }
    // [from, end) moves down to `to`, front first, and the file ends after it.
    void shiftDown(long from, long to, long end) {
        for (long at = from; at < end && !failed_; at += kBlock)
            move(at, to + (at - from), std::min<long>(kBlock, end - at));
        truncate(to + (end - from));
    }

    QByteArray path_;
    int fd_ = -1;
    long pos_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

// The names of the fields in TagLib's common property map (ID3v2, Vorbis comments, ASF).
const std::array<const char*, kTagFieldCount> kPropertyKeys = {
    "TITLE",      "ARTIST", "ALBUM", "ALBUMARTIST", "TRACKNUMBER",
    "DISCNUMBER", "DATE",   "GENRE", "COMMENT"};

// The source's fields over what the file already holds (the WMA boxes stay). TagLib 1's
// properties are not virtual: they must be called on the tag's own type.
template <typename Tag> void mergeProperties(Tag& tag, const SourceTags& tags) {
    TagLib::PropertyMap props = tag.properties();
    for (int f = 0; f < kTagFieldCount; ++f) {
        if (!tags.texts[f].isEmpty())
            props.replace(kPropertyKeys[f], TagLib::StringList(tagString(tags.texts[f])));
    }
    tag.setProperties(props);
}

bool writeMp3(CheckedStream& stream, const SourceTags& tags) {
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid())
        return false;
    TagLib::ID3v2::Tag* id3 = file.ID3v2Tag(true);
    mergeProperties(*id3, tags);
    if (!tags.cover.isEmpty()) {
        id3->removeFrames("APIC");
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setMimeType(tagString(tags.coverMime));
        picture->setPicture(bytes(tags.cover));
        id3->addFrame(picture); // the tag owns it now
    }
    // Version 2.3 is the one most players read; an ID3v1 tag would cut the texts short.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3);
}

// Bits per pixel and palette colours of a PNG or JPEG picture; nothing for other pictures.
struct PictureDepth {
    int depth = 0, colors = 0;
};
std::optional<PictureDepth> pictureDepth(const QByteArray& b) {
    const auto u8 = [&](qsizetype at) { return static_cast<unsigned char>(b.at(at)); };
    if (b.startsWith("\x89PNG\r\n\x1a\n") && b.size() >= 33 && b.mid(12, 4) == "IHDR") {
        static constexpr int kSamples[] = {1, 0, 3, 1, 2, 0, 4}; // by colour type
        const int bits = u8(24), type = u8(25);
        if (type > 6 || kSamples[type] == 0)
            return std::nullopt;
        PictureDepth d{bits * kSamples[type], 0};
        if (type == 3) { // a palette: its entries count
            const qsizetype plte = b.indexOf("PLTE");
            if (plte < 4)
                return std::nullopt;
            d.colors = static_cast<int>(qFromBigEndian<quint32>(b.constData() + plte - 4) / 3);
        }
        return d;
    }
    // JPEG: the frame header's precision times its components.
    for (qsizetype at = 2; b.startsWith("\xff\xd8") && at + 9 < b.size();) {
        if (u8(at) != 0xFF)
            return std::nullopt;
        const int marker = u8(at + 1);
        const int length = (u8(at + 2) << 8) | u8(at + 3);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return PictureDepth{u8(at + 4) * u8(at + 9), 0};
        at += 2 + length;
    }
    return std::nullopt;
}

// A FLAC picture block: its size, depth and colours all stated, or all 0 when not known.
TagLib::FLAC::Picture* flacPicture(const SourceTags& tags) {
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(tagString(tags.coverMime));
    const std::optional<PictureDepth> depth = pictureDepth(tags.cover);
    if (depth && tags.coverWidth > 0 && tags.coverHeight > 0) {
        picture->setWidth(tags.coverWidth);
        picture->setHeight(tags.coverHeight);
        picture->setColorDepth(depth->depth);
        picture->setNumColors(depth->colors);
    }
    picture->setData(bytes(tags.cover));
    return picture;
}

// A file whose tag TagLib gives as one object: the source's fields merged in, then the cover
// in the form `putCover` gives it.
template <typename File, typename PutCover>
bool writeTagged(CheckedStream& stream, const SourceTags& tags, PutCover putCover) {
    File file(&stream, false);
    if (!file.isValid() || file.tag() == nullptr)
        return false;
    mergeProperties(*file.tag(), tags);
    if (!tags.cover.isEmpty())
        putCover(*file.tag());
    return file.save();
}

// Vorbis comments in Ogg Vorbis and Opus; the cover as METADATA_BLOCK_PICTURE.
template <typename File> bool writeXiph(CheckedStream& stream, const SourceTags& tags) {
    return writeTagged<File>(stream, tags, [&tags](TagLib::Ogg::XiphComment& comment) {
        comment.removeAllPictures();
        comment.addPicture(flacPicture(tags)); // the comment owns it now
    });
}

// Vorbis comments in the FLAC header and the cover in a PICTURE block of its own.
bool writeFlac(CheckedStream& stream, const SourceTags& tags) {
    TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid())
        return false;
    mergeProperties(*file.xiphComment(true), tags);
    if (!tags.cover.isEmpty()) {
        file.removePictures();
        file.addPicture(flacPicture(tags)); // the file owns it now
    }
    return file.save();
}

// MP4 atoms: TagLib's property names become ©nam, ©ART, trkn, disk...; the cover is covr.
bool writeMp4(CheckedStream& stream, const SourceTags& tags) {
    return writeTagged<TagLib::MP4::File>(stream, tags, [&tags](TagLib::MP4::Tag& tag) {
        const auto kind =
            tags.coverMime == QLatin1String("image/png")   ? TagLib::MP4::CoverArt::PNG
            : tags.coverMime == QLatin1String("image/bmp") ? TagLib::MP4::CoverArt::BMP
            : tags.coverMime == QLatin1String("image/gif") ? TagLib::MP4::CoverArt::GIF
                                                           : TagLib::MP4::CoverArt::JPEG;
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(kind, bytes(tags.cover)));
        tag.setItem("covr", TagLib::MP4::Item(covers));
    });
}

bool writeWma(CheckedStream& stream, const SourceTags& tags) {
    return writeTagged<TagLib::ASF::File>(stream, tags, [&tags](TagLib::ASF::Tag& tag) {
        TagLib::ASF::Picture picture;
        picture.setType(TagLib::ASF::Picture::FrontCover);
        picture.setMimeType(tagString(tags.coverMime));
        picture.setPicture(bytes(tags.cover));
        tag.setAttribute("WM/Picture", TagLib::ASF::Attribute(picture));
    });
}

// RIFF INFO texts as UTF-8, which FFmpeg and most players take; TagLib's own default is
// Latin-1, which would turn every other letter into '?'.
class Utf8InfoStrings final : public TagLib::RIFF::Info::StringHandler {
public:
    String parse(const ByteVector& data) const override { return String(data, String::UTF8); }
    ByteVector render(const String& s) const override { return s.data(String::UTF8); }
};

// INFO ids of the fields a WAV file carries; album artist and disc have none players read.
const std::array<const char*, kTagFieldCount> kInfoIds = {"INAM",  "IART", "IPRD", nullptr, "IPRT",
                                                          nullptr, "ICRD", "IGNR", "ICMT"};

bool writeWav(CheckedStream& stream, const SourceTags& tags) {
    static const Utf8InfoStrings utf8;
    static std::once_flag once;
    std::call_once(once, [] { TagLib::RIFF::Info::Tag::setStringHandler(&utf8); });
    TagLib::RIFF::WAV::File file(&stream, false);
    if (!file.isValid())
        return false;
    TagLib::RIFF::Info::Tag* info = file.InfoTag();
    for (int f = 0; f < kTagFieldCount; ++f) {
        if (kInfoIds[f] != nullptr && !tags.texts[f].isEmpty())
            info->setFieldText(kInfoIds[f], tagString(tags.texts[f]));
    }
    return file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripOthers);
}

// RF64 (a WAV file past 4 GiB) is a form TagLib does not know: it is left as written.
bool isPlainRiffWave(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

// A copy of `from` in `to`; false with the reason when the folder has no room for it.
bool copyInto(const QString& from, QFile& to, QString& why) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        why = in.errorString();
        return false;
    }
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(block.data(), block.size());
        if (n < 0) {
            why = in.errorString();
            return false;
        }
        if (n == 0) {
            if (to.flush())
                return true;
            why = to.errorString();
            return false;
        }
        // A short write is tried on: the write that fails says why (a short one says nothing).
        for (qint64 done = 0; done < n;) {
            const qint64 w = to.write(block.constData() + done, n - done);
            if (w <= 0) {
                why = to.errorString();
                return false;
            }
            done += w;
        }
    }
}

// The copy that gets the tags, beside the output. Where the file system allows, it has no name
// until it replaces the output (O_TMPFILE), so a kill part-way leaves nothing behind.
class TaggedCopy {
public:
    explicit TaggedCopy(const QString& folder)
        : folder_(folder), named_(folder + QStringLiteral("/.kvtags-XXXXXX")) {}
    ~TaggedCopy() {
        if (fd_ >= 0)
            unnamed_.close();
    }

    bool open(QString& why) {
        sweepLeftovers();
        fd_ = ::open(QFile::encodeName(folder_).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ >= 0 && unnamed_.open(fd_, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle))
            return true;
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        if (named_.open())
            return true;
        why = named_.errorString();
        return false;
    }
    QFile& file() { return fd_ >= 0 ? unnamed_ : static_cast<QFile&>(named_); }
    // A path that opens the copy, for the tag writer.
    QByteArray path() const {
        return fd_ >= 0 ? QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(fd_)
                        : QFile::encodeName(named_.fileName());
    }

    // Gives the copy the output's permissions and puts it in the output's place.
    bool replace(const QFileInfo& out) {
        const QByteArray target = QFile::encodeName(out.absoluteFilePath());
        if (fd_ < 0) {
            named_.setPermissions(out.permissions());
            if (std::rename(QFile::encodeName(named_.fileName()).constData(), target) != 0)
                return false;
            named_.setAutoRemove(false);
            return true;
        }
        struct stat st {};
        if (::stat(target.constData(), &st) == 0)
            ::fchmod(fd_, st.st_mode & 07777);
        // Held open, the old output's blocks are freed after the rename rather than during
        // it, which keeps the moment the copy has a name short.
        const int old = ::open(target.constData(), O_RDONLY | O_CLOEXEC);
        const std::shared_ptr<void> closeOld(nullptr, [old](void*) {
            if (old >= 0)
                ::close(old);
        });
        // A name of its own for the moment it takes to rename it over the output.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = QFile::encodeName(folder_) + "/.kvtags-" +
                                    QByteArray::number(::getpid()) + "-" +
                                    QByteArray::number(attempt);
            if (::linkat(AT_FDCWD, path().constData(), AT_FDCWD, name.constData(),
                         AT_SYMLINK_FOLLOW) != 0) {
                if (errno == EEXIST)
                    continue;
                return false;
            }
            if (std::rename(name.constData(), target.constData()) == 0)
                return true;
            ::unlink(name.constData());
            return false;
        }
        return false;
    }

private:
    // A kill in the moment between naming the copy and renaming it leaves ".kvtags-PID-N"
    // behind; the next tagging in the folder removes those of processes that are gone.
    void sweepLeftovers() const {
        const QByteArray folder = QFile::encodeName(folder_);
        DIR* dir = ::opendir(folder.constData());
        if (dir == nullptr)
            return;
        while (const dirent* e = ::readdir(dir)) {
            const QByteArray name(e->d_name);
            if (!name.startsWith(".kvtags-"))
                continue;
            const QList<QByteArray> parts = name.mid(8).split('-');
            bool pidOk = false, nOk = false;
            const pid_t pid = parts.size() == 2 ? parts[0].toInt(&pidOk) : 0;
            if (parts.size() == 2)
                parts[1].toInt(&nOk);
            if (pidOk && nOk && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 &&
                errno == ESRCH)
                ::unlinkat(::dirfd(dir), name.constData(), 0);
        }
        ::closedir(dir);
    }

    QString folder_;
    int fd_ = -1;
    QFile unnamed_;
    QTemporaryFile named_;
};

} // namespace

void ApplyWmaBoxes(SourceTags& tags, const WmaOptions& wma) {
    if (!wma.tags)
        return;
    // Box i of txtWMATags (Title, Author, WM/AlbumTitle, Description, Rating, Copyright,
    // WM/Genre, WM/Year) against the field it stands for; rating and copyright are no
    // field of a source.
    static const std::array<int, 8> kFieldOfBox = {static_cast<int>(TagField::Title),
                                                   static_cast<int>(TagField::Artist),
                                                   static_cast<int>(TagField::Album),
                                                   static_cast<int>(TagField::Comment),
                                                   -1,
                                                   -1,
                                                   static_cast<int>(TagField::Genre),
                                                   static_cast<int>(TagField::Date)};
    for (size_t box = 0; box < kFieldOfBox.size(); ++box) {
        if (kFieldOfBox[box] >= 0 && !wma.tagTexts[box].isEmpty())
            tags.texts[kFieldOfBox[box]] = wma.tagTexts[box];
    }
}

QStringList WriteOutputTags(const QString& output, int format, const SourceTags& tags) {
    bool (*write)(CheckedStream&, const SourceTags&) = nullptr;
    switch (const Format* f = FormatOf(format); f != nullptr ? f->tagKind() : TagKind::None) {
    case TagKind::Id3v23:
        write = writeMp3;
        break;
    case TagKind::VorbisInOgg:
        write = writeXiph<TagLib::Ogg::Vorbis::File>;
        break;
    case TagKind::AsfAttributes:
        write = writeWma;
        break;
    case TagKind::RiffInfo: {
        bool any = false;
        for (int f = 0; f < kTagFieldCount; ++f)
            any = any || (kInfoIds[f] != nullptr && !tags.texts[f].isEmpty());
        if (!any)
            return {};
        if (!isPlainRiffWave(output))
            return {QStringLiteral("all tags: an RF64 file takes none")};
        write = writeWav;
        break;
    }
    case TagKind::FlacComments:
        write = writeFlac;
        break;
    case TagKind::OpusComments:
        write = writeXiph<TagLib::Ogg::Opus::File>;
        break;
    case TagKind::Mp4Atoms:
        write = writeMp4;
        break;
    case TagKind::None:
        return {};
    }

    const QFileInfo out(output);
    TaggedCopy copy(out.absolutePath());
    QString why;
    if (!copy.open(why) || !copyInto(output, copy.file(), why))
        return {QStringLiteral("all tags: no copy of the output (%1)").arg(why)};
    bool written = false;
    int error = 0;
    {
        CheckedStream stream(copy.path());
        written = !stream.failed() && write(stream, tags) && !stream.failed();
        error = stream.error();
    }
    if (!written && error != 0)
        return {QStringLiteral("all tags: the tagged copy could not be written (%1)")
                    .arg(qt_error_string(error))};
    if (!written)
        return {QStringLiteral("all tags: the tag writer refused the output")};
    errno = 0;
    if (!copy.replace(out))
        return {QStringLiteral("all tags: the tagged copy could not replace the output (%1)")
                    .arg(qt_error_string(errno))};
    return {};
}

void CopySourceTags(const QString& source, const QString& output, int format,
                    const WmaOptions& wma) {
    SourceTags tags = ReadSourceTags(source);
    if (const Format* f = FormatOf(format); f != nullptr && f->tagKind() == TagKind::AsfAttributes)
        ApplyWmaBoxes(tags, wma);
    QStringList leftOut = tags.leftOut;
    if (!tags.empty())
        leftOut += WriteOutputTags(output, format, tags);
    if (!leftOut.isEmpty())
        AppendErrorLog(QStringLiteral("Tags left out (%1)").arg(leftOut.join(QStringLiteral("; "))),
                       0, source);
}

} // namespace kv
