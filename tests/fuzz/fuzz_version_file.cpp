// The version file of the update host, as any body a server (or whatever
// answers in its place) can send: either four readable entries that can
// lead to an update offer, or no value at all.

#include "internet/update/version_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>

using namespace qpt::internet;

namespace {

// Text shown on screen and compared as a version: one line, no control
// characters, nothing that failed to decode.
bool isPlainText(const QString& text)
{
    for (const QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0) || c == QChar(QChar::ReplacementCharacter))
            return false;
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\t'))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<VersionFile> file = parseVersionFile(bytes);
    if (!file)
        return 0;
    QPT_FUZZ_CHECK(size <= std::size_t(kMaxVersionFileBytes));
    QPT_FUZZ_CHECK(file->player.isEmpty() || isVersionText(file->player));
    QPT_FUZZ_CHECK(isVersionText(file->option));
    const bool onlineSystemPublished = file->onlineSystem != QLatin1String("N/A");
    QPT_FUZZ_CHECK(!onlineSystemPublished || isVersionText(file->onlineSystem));
    QPT_FUZZ_CHECK(onlineSystemPublished || file->date == QLatin1String("N/A"));
    for (const QString* text : {&file->player, &file->option, &file->onlineSystem, &file->date})
        QPT_FUZZ_CHECK(isPlainText(*text));
    // A version is short ASCII: "v", a digit, then letters, digits and . - _ +.
    for (const QString* version : {&file->player, &file->option, &file->onlineSystem}) {
        QPT_FUZZ_CHECK(version->size() <= 32);
        for (const QChar c : *version)
            QPT_FUZZ_CHECK(c.unicode() > 0x20 && c.unicode() < 0x7F);
    }
    return 0;
}
