// A page from the network, as any bytes a host can send: the safe subset
// stays within its caps (nesting, tables, elements, text, pictures), names
// no address but the web's (and mail's, for links), and pictures only from
// the page's own site. Inputs go up to 512 KiB with a few seconds each, so
// that a cost growing faster than the page shows as a timeout.

#include "internet/pages/page_sanitiser.h"
#include "tests/fuzz/fuzz_support.h"

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

using namespace qpt::internet;

namespace {

// An opening tag of the output holds no code, no style and no address
// outside the web (and mail, for links).
void checkTag(const QString& name, const QString& attributes)
{
    static const QRegularExpression address(QStringLiteral("(href|src)=\"([^\"]*)\""));
    static const QRegularExpression anyAttribute(QStringLiteral("\\s([a-z]+)="));
    QPT_FUZZ_CHECK(name != QLatin1String("script") && name != QLatin1String("style") && name != QLatin1String("iframe"));
    for (auto it = anyAttribute.globalMatch(attributes); it.hasNext();) {
        const QString attribute = it.next().captured(1);
        QPT_FUZZ_CHECK(attribute != QLatin1String("style") && !attribute.startsWith(QLatin1String("on")));
    }
    for (auto it = address.globalMatch(attributes); it.hasNext();) {
        const QString value = it.next().captured(2);
        QPT_FUZZ_CHECK(value.startsWith(QLatin1String("http://")) || value.startsWith(QLatin1String("https://"))
                       || value.startsWith(QLatin1String("mailto:")));
    }
}

// The deepest nesting of the output and of its tables, counted from its
// tags (the output is written by the sanitiser: text never holds a "<").
void measure(const QString& html, int& depth, int& tables, int& elements)
{
    static const QRegularExpression tag(QStringLiteral("<(/?)([a-z0-9]+)([^>]*)>"));
    static const QStringList voids{"br", "hr", "img"};
    int open = 0;
    int openTables = 0;
    qsizetype tags = 0;
    depth = tables = elements = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        ++tags;
        const QString name = match.captured(2);
        if (name == QLatin1String("html") || name == QLatin1String("body"))
            continue;
        const bool closing = !match.captured(1).isEmpty();
        if (!closing) {
            ++elements;
            checkTag(name, match.captured(3));
        }
        if (voids.contains(name))
            continue;
        open += closing ? -1 : 1;
        if (name == QLatin1String("table"))
            openTables += closing ? -1 : 1;
        QPT_FUZZ_CHECK(open >= 0 && openTables >= 0);
        depth = qMax(depth, open);
        tables = qMax(tables, openTables);
    }
    QPT_FUZZ_CHECK(open == 0 && openTables == 0);
    QPT_FUZZ_CHECK(tags == html.count(QLatin1Char('<')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const PageLimits limits;
    const SanitisedPage page = sanitisePage(bytes, QUrl(QStringLiteral("http://host.example/mainpage/index.txt")), limits);
    int depth = 0;
    int tables = 0;
    int elements = 0;
    measure(page.html, depth, tables, elements);
    QPT_FUZZ_CHECK(depth <= limits.maxDepth);
    QPT_FUZZ_CHECK(tables <= limits.maxTableDepth);
    QPT_FUZZ_CHECK(elements <= limits.maxElements);
    QPT_FUZZ_CHECK(page.pictures.size() <= limits.maxPictures);
    for (const QUrl& picture : page.pictures) {
        QPT_FUZZ_CHECK(picture.scheme() == QLatin1String("http") || picture.scheme() == QLatin1String("https"));
        QPT_FUZZ_CHECK(picture.host() == QLatin1String("host.example"));
    }
    return 0;
}
