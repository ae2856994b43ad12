// The relative output path a name pattern gives a source from its tags.
#include "convert/NamePattern.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {
SourceTags tagged(std::initializer_list<std::pair<TagField, QString>> fields) {
    SourceTags t;
    for (const auto& [field, text] : fields)
        t.text(field) = text;
    return t;
}
} // namespace

TEST(NamePattern, FieldsMissingValuesAndUnsafeCharacters) {
    const QString e2 = QString(150, QChar(0xe9)); // 300 bytes of two-byte letters
    const SourceTags full = tagged({{TagField::Title, "Song"},
                                    {TagField::Artist, "Band"},
                                    {TagField::AlbumArtist, "Various"},
                                    {TagField::Album, "Live"},
                                    {TagField::Track, "3/12"},
                                    {TagField::Disc, "2/2"},
                                    {TagField::Date, "1999-04-01"},
                                    {TagField::Genre, "Rock"}});
    const struct {
        const char* pattern;
        SourceTags tags;
        const char* extension;
        QStringList expected;
    } cases[] = {
        {"{albumartist}/{year} {album}/{disc}-{track} - {artist} - {title} [{genre}]", full,
         "opus", {"Various", "1999 Live", "2-03 - Band - Song [Rock].opus"}},
        {"{folder}/{name} {x}", full, "mp3", {"Album", "01 intro {x}.mp3"}},
        // No tags at all: every field vanishes and the file falls back to its own name.
        {"{albumartist}/{album}/{track} - {title}", {}, "ogg", {"01 intro.ogg"}},
        {"{artist}/{track} - {title} ({year})", tagged({{TagField::Title, "Song"}}), "ogg",
         {"Song.ogg"}},
        {"{artist} - {album} - {title}",
         tagged({{TagField::Artist, "Band"}, {TagField::Title, "Song"}}), "mp3",
         {"Band - Song.mp3"}},
        {"{albumartist}/{album}/{track}. {title}",
         tagged({{TagField::Artist, "AC/DC"}, {TagField::Album, "High/Low"},
                 {TagField::Track, "7"}, {TagField::Title, "T.N.T"}}),
         "flac", {"AC_DC", "High_Low", "07. T.N.T.flac"}},
        {"{title}", tagged({{TagField::Title, "Why: \"Who?\" <a|b> \\ *\tx"}}), "wav",
         {"Why_ _Who__ _a_b_ _ __x.wav"}},
        // 255 bytes per folder, and the file name leaves 16 for a suffix: 255 - 4 - 16 = 235.
        {"{album}/{title}", tagged({{TagField::Album, e2}, {TagField::Title, e2}}), "mp3",
         {QString(127, QChar(0xe9)), QString(117, QChar(0xe9)) + ".mp3"}},
        {"{album}/{genre}/{title}",
         tagged({{TagField::Album, ".."}, {TagField::Genre, "."}, {TagField::Title, "..."}}),
         "m4a", {"_", "_", "_.m4a"}},
        {" {artist}. /{title} . ",
         tagged({{TagField::Artist, "Band..."}, {TagField::Title, "Song. "}}), "ogg",
         {"Band", "Song.ogg"}},
        {"", full, "mp3", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PatternedPath(QString::fromUtf8(c.pattern), c.tags,
                                QStringLiteral("/music/Album/01 intro.flac"),
                                QString::fromUtf8(c.extension)),
                  c.expected)
            << c.pattern;
    }
}
