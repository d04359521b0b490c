#include "page_sanitiser.h"

#include "page_tags.h"

#include "internet/shared/web_address.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <libxml/HTMLparser.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace qpt::internet {

namespace {

// ---------------------------------------------------------------- the subset

// Where an element may stand in the output.
enum class Place {
    Anywhere,
    Table,         // opens a table: within the table depth
    InTable,       // thead, tbody, tfoot, caption: right inside a table
    Row,           // tr: inside a table or its section
    Cell,          // td, th: inside a row
    ListItem,      // li: inside ul or ol
};

// How an attribute's value is checked.
enum class Value { Length, Small, Span, FontSize, Colour, Align, Face, Text, Link, Picture, ListType, Count };

struct Attribute {
    const char* name;
    Value value;
};

struct Element {
    const char* name;
    Place place;
    bool isVoid;
    std::vector<Attribute> attributes;
};

const std::vector<Element>& elements()
{
    static const std::vector<Element> list = {
        {"p", Place::Anywhere, false, {{"align", Value::Align}}},
        {"div", Place::Anywhere, false, {{"align", Value::Align}}},
        {"center", Place::Anywhere, false, {}},
        {"blockquote", Place::Anywhere, false, {}},
        {"h1", Place::Anywhere, false, {{"align", Value::Align}}},
        {"h2", Place::Anywhere, false, {{"align", Value::Align}}},
        {"h3", Place::Anywhere, false, {{"align", Value::Align}}},
        {"h4", Place::Anywhere, false, {{"align", Value::Align}}},
        {"h5", Place::Anywhere, false, {{"align", Value::Align}}},
        {"h6", Place::Anywhere, false, {{"align", Value::Align}}},
        {"b", Place::Anywhere, false, {}},
        {"strong", Place::Anywhere, false, {}},
        {"i", Place::Anywhere, false, {}},
        {"em", Place::Anywhere, false, {}},
        {"u", Place::Anywhere, false, {}},
        {"s", Place::Anywhere, false, {}},
        {"small", Place::Anywhere, false, {}},
        {"big", Place::Anywhere, false, {}},
        {"sub", Place::Anywhere, false, {}},
        {"sup", Place::Anywhere, false, {}},
        {"code", Place::Anywhere, false, {}},
        {"tt", Place::Anywhere, false, {}},
        {"span", Place::Anywhere, false, {}},
        {"font", Place::Anywhere, false, {{"color", Value::Colour}, {"size", Value::FontSize}, {"face", Value::Face}}},
        {"a", Place::Anywhere, false, {{"href", Value::Link}, {"name", Value::Text}}},
        {"ul", Place::Anywhere, false, {{"type", Value::ListType}}},
        {"ol", Place::Anywhere, false, {{"type", Value::ListType}, {"start", Value::Count}}},
        {"li", Place::ListItem, false, {}},
        {"dl", Place::Anywhere, false, {}},
        {"dt", Place::Anywhere, false, {}},
        {"dd", Place::Anywhere, false, {}},
        {"table", Place::Table, false,
         {{"width", Value::Length}, {"border", Value::Small}, {"cellpadding", Value::Small},
          {"cellspacing", Value::Small}, {"bgcolor", Value::Colour}, {"align", Value::Align}}},
        {"caption", Place::InTable, false, {}},
        {"thead", Place::InTable, false, {}},
        {"tbody", Place::InTable, false, {}},
        {"tfoot", Place::InTable, false, {}},
        {"tr", Place::Row, false, {{"bgcolor", Value::Colour}, {"align", Value::Align}, {"valign", Value::Align}}},
        {"td", Place::Cell, false,
         {{"width", Value::Length}, {"colspan", Value::Span}, {"rowspan", Value::Span}, {"bgcolor", Value::Colour},
          {"align", Value::Align}, {"valign", Value::Align}}},
        {"th", Place::Cell, false,
         {{"width", Value::Length}, {"colspan", Value::Span}, {"rowspan", Value::Span}, {"bgcolor", Value::Colour},
          {"align", Value::Align}, {"valign", Value::Align}}},
        {"br", Place::Anywhere, true, {}},
        {"hr", Place::Anywhere, true, {{"width", Value::Length}}},
        {"img", Place::Anywhere, true,
         {{"src", Value::Picture}, {"alt", Value::Text}, {"width", Value::Length}, {"height", Value::Length},
          {"align", Value::Align}}},
    };
    return list;
}

// Elements that go with everything in them: code, styles, frames, forms'
// controls, embedded objects, and the head with its title.
constexpr std::string_view kDropped[] = {
    "script", "style",    "head",  "title", "iframe", "frame",  "frameset", "object", "embed", "applet",
    "noscript", "template", "svg", "math",  "textarea", "select", "button",  "input",  "audio", "video",
    "canvas", "map",      "area",  "base",  "link",   "meta",   "noembed",  "noframes",
};

const Element* elementNamed(std::string_view name)
{
    for (const Element& element : elements()) {
        if (name == element.name)
            return &element;
    }
    return nullptr;
}

bool isDropped(std::string_view name)
{
    for (const std::string_view dropped : kDropped) {
        if (name == dropped)
            return true;
    }
    return false;
}

// A number with an optional "%" within bounds ("600", "80%").
bool isBoundedNumber(const QString& text, int max, bool percentAllowed)
{
    static const QRegularExpression number(QStringLiteral("^(\\d{1,5})(%?)$"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return false;
    const bool percent = !match.captured(2).isEmpty();
    const int n = match.captured(1).toInt();
    return percent ? percentAllowed && n <= 100 : n <= max;
}

// The plain words and colours an attribute may hold, each compiled once.
bool matches(const QString& text, Value kind)
{
    static const auto pattern = [](const char* text) {
        return QRegularExpression(QLatin1String(text), QRegularExpression::CaseInsensitiveOption);
    };
    static const QRegularExpression fontSize = pattern("^[+-]?[1-7]$");
    static const QRegularExpression colour = pattern("^(#[0-9a-f]{3}|#[0-9a-f]{6}|[a-z]{1,20})$");
    static const QRegularExpression align = pattern("^(left|right|center|justify|top|middle|bottom)$");
    static const QRegularExpression face = pattern("^[a-z0-9 ,'-]{1,64}$");
    static const QRegularExpression listType = pattern("^(1|a|i|disc|circle|square)$");
    switch (kind) {
    case Value::FontSize: return fontSize.match(text).hasMatch();
    case Value::Colour: return colour.match(text).hasMatch();
    case Value::Align: return align.match(text).hasMatch();
    case Value::Face: return face.match(text).hasMatch();
    case Value::ListType: return listType.match(text).hasMatch();
    default: return false;
    }
}

// The value as it may stand in the output; empty when it may not.
QString checkedValue(Value kind, const QString& raw, const QUrl& base)
{
    const QString text = raw.trimmed();
    switch (kind) {
    case Value::Length: return isBoundedNumber(text, 2000, true) ? text : QString();
    case Value::Small: return isBoundedNumber(text, 16, false) ? text : QString();
    case Value::Span: return isBoundedNumber(text, 16, false) && text != QLatin1String("0") ? text : QString();
    case Value::Count: return isBoundedNumber(text, 99999, false) ? text : QString();
    case Value::FontSize:
    case Value::Colour:
    case Value::Align:
    case Value::Face:
    case Value::ListType: return matches(text, kind) ? text : QString();
    case Value::Text: return text.left(200);
    case Value::Link:
    case Value::Picture: {
        if (text.size() > 2048)
            return QString();
        const QUrl url = base.resolved(QUrl(text));
        // A picture loads without a click: only from the page's own site,
        // never from a machine of the network the user happens to be on.
        if (kind == Value::Link && url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0) {
            const QUrl mail = plainMailto(url);
            return mail.isValid() ? mail.toString(QUrl::FullyEncoded) : QString();
        }
        const bool allowed = kind == Value::Picture ? isSameSite(base, url) : isWeb(url);
        return allowed && url.isValid() ? url.toString(QUrl::FullyEncoded) : QString();
    }
    }
    return QString();
}

// The attributes of a start tag as libxml2 hands them over: name, value,
// name, value, ..., null.
class Attributes {
public:
    explicit Attributes(const xmlChar** pairs) : m_pairs(pairs) {}

    QString named(std::string_view name) const
    {
        for (const xmlChar** pair = m_pairs; pair && pair[0]; pair += 2) {
            if (std::string_view(reinterpret_cast<const char*>(pair[0])) == name)
                return pair[1] ? QString::fromUtf8(reinterpret_cast<const char*>(pair[1])).left(4096) : QString();
        }
        return QString();
    }

private:
    const xmlChar** m_pairs;
};

// Characters that join words without showing: dropped, so that they never
// keep a break opportunity from working.
bool isInvisibleJoiner(QChar c)
{
    return c == QChar(0x2060) || c == QChar(0xFEFF);
}

// Spaces the layout never breaks a line at.
bool isNoBreakSpace(QChar c)
{
    return c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2007);
}

// ---------------------------------------------------------------- writer

// Writes the safe subset from the parser's events: every start of an
// element comes with its end (the parser closes what the page leaves open).
class Writer {
public:
    Writer(const QUrl& base, const PageLimits& limits) : m_base(base), m_limits(limits) {}

    void start(std::string_view name, const Attributes& attributes);
    void end();
    void text(const QString& text, bool keepLineBreaks);
    // Past a cap that ends the reading: the text is full, or the page
    // nests deeper than the parser is let go.
    bool isDone() const { return m_full || m_tooDeep; }
    // What is open is closed.
    void closeAll();

    QString html() const { return m_out; }
    QString bodyAttributes() const { return m_bodyAttributes; }
    QList<QUrl> pictures() const { return m_pictures; }

private:
    // Writes the element when it may stand here; what end() closes.
    const Element* open(std::string_view name, const Element& element, const Attributes& attributes);
    bool fits(const Element& element) const;
    const Element* innermost() const;
    QString attributesOf(const Attributes& attributes, const Element& element) const;
    void openElement(const Element& element, const QString& attributes);

    QUrl m_base;
    PageLimits m_limits;
    QString m_out;
    QString m_bodyAttributes;
    QList<QUrl> m_pictures;
    // One frame for every element the parser has open; nullptr where
    // nothing was written for it (given way to its text, a void element).
    std::vector<const Element*> m_frames;
    int m_dropped = 0;     // elements open inside one that goes with its content
    int m_depth = 0;       // elements open in the output
    int m_tables = 0;      // tables open in the output
    int m_elements = 0;
    int m_pictureTags = 0;
    int m_textChars = 0;
    int m_wordChars = 0;
    bool m_bodySeen = false;
    bool m_full = false;   // the text cap is reached
    bool m_tooDeep = false;
};

const Element* Writer::innermost() const
{
    for (auto frame = m_frames.rbegin(); frame != m_frames.rend(); ++frame) {
        if (*frame)
            return *frame;
    }
    return nullptr;
}

bool Writer::fits(const Element& element) const
{
    if (m_elements >= m_limits.maxElements || (!element.isVoid && m_depth >= m_limits.maxDepth))
        return false;
    const Element* around = innermost();
    const std::string_view parent = around ? around->name : "";
    switch (element.place) {
    case Place::Anywhere: return true;
    case Place::Table: return m_tables < m_limits.maxTableDepth;
    case Place::InTable: return parent == "table";
    case Place::Row: return parent == "table" || parent == "thead" || parent == "tbody" || parent == "tfoot";
    case Place::Cell: return parent == "tr";
    case Place::ListItem: return parent == "ul" || parent == "ol";
    }
    return false;
}

QString Writer::attributesOf(const Attributes& attributes, const Element& element) const
{
    QString out;
    for (const Attribute& allowed : element.attributes) {
        const QString value = checkedValue(allowed.value, attributes.named(allowed.name), m_base);
        if (!value.isEmpty())
            out += QLatin1Char(' ') + QLatin1String(allowed.name) + QStringLiteral("=\"") + value.toHtmlEscaped()
                 + QLatin1Char('"');
    }
    return out;
}

void Writer::openElement(const Element& element, const QString& attributes)
{
    m_out += QLatin1Char('<') + QLatin1String(element.name) + attributes + QLatin1Char('>');
    ++m_elements;
    if (!element.isVoid) {
        ++m_depth;
        if (element.place == Place::Table)
            ++m_tables;
    }
}

const Element* Writer::open(std::string_view name, const Element& element, const Attributes& attributes)
{
    if (name == "img") {
        // A picture is shown only from the page's own site, and only so
        // many picture elements (however few addresses they share).
        const QString source = checkedValue(Value::Picture, attributes.named("src"), m_base);
        if (source.isEmpty() || m_pictureTags >= m_limits.maxPictures)
            return nullptr;
        ++m_pictureTags;
        const QUrl url = QUrl::fromEncoded(source.toUtf8());
        if (!m_pictures.contains(url))
            m_pictures << url;
    }
    openElement(element, attributesOf(attributes, element));
    return element.isVoid ? nullptr : &element;
}

void Writer::start(std::string_view name, const Attributes& attributes)
{
    if (m_dropped > 0) {
        ++m_dropped;
        return;
    }
    if (int(m_frames.size()) >= m_limits.maxParseDepth) {
        m_tooDeep = true;
        return;
    }
    if (isDropped(name)) {
        m_dropped = 1;
        return;
    }
    if (name == "body" && !m_bodySeen) {
        static const Element kBody{"body", Place::Anywhere, false, {{"bgcolor", Value::Colour}, {"text", Value::Colour}}};
        m_bodySeen = true;
        m_bodyAttributes = attributesOf(attributes, kBody);
    }
    const Element* element = elementNamed(name);
    if (element && fits(*element)) {
        m_frames.push_back(open(name, *element, attributes));
        return;
    }
    // Its text stays, apart from the text around it; a line break that
    // may not stand as one still separates words.
    if (element)
        text(QStringLiteral(" "), false);
    m_frames.push_back(nullptr);
}

void Writer::end()
{
    if (m_dropped > 0) {
        --m_dropped;
        return;
    }
    if (m_frames.empty())
        return;
    const Element* element = m_frames.back();
    m_frames.pop_back();
    if (!element)
        return;
    m_out += QStringLiteral("</") + QLatin1String(element->name) + QLatin1Char('>');
    --m_depth;
    if (element->place == Place::Table)
        --m_tables;
}

void Writer::closeAll()
{
    m_dropped = 0;
    while (!m_frames.empty())
        end();
}

void Writer::text(const QString& text, bool keepLineBreaks)
{
    if (m_dropped > 0)
        return;
    for (const QChar c : text) {
        if (m_full)
            return;
        if (isInvisibleJoiner(c))
            continue;
        if (m_textChars >= m_limits.maxText) {
            m_out += QChar(0x2026);
            m_full = true;
            return;
        }
        ++m_textChars;
        if (keepLineBreaks && c == QLatin1Char('\n')) {
            if (m_elements < m_limits.maxElements) {
                m_out += QStringLiteral("<br>");
                ++m_elements;
            } else {
                m_out += QLatin1Char(' ');
            }
            m_wordChars = 0;
            continue;
        }
        if ((c.isSpace() && !isNoBreakSpace(c)) || c == QChar(0x200B)) {
            m_wordChars = 0;
        } else if (++m_wordChars > m_limits.maxWord) {
            m_out += QChar(0x200B);
            m_wordChars = 1;
        }
        switch (c.unicode()) {
        case '<': m_out += QStringLiteral("&lt;"); break;
        case '>': m_out += QStringLiteral("&gt;"); break;
        case '&': m_out += QStringLiteral("&amp;"); break;
        default: m_out += c;
        }
    }
}

// ---------------------------------------------------------------- reading

// The parser's events, handed to the writer; the reading stops at the
// writer's caps.
struct Reading {
    Writer& writer;
    htmlParserCtxtPtr parser = nullptr;

    static Reading& of(void* context) { return *static_cast<Reading*>(context); }
    void stopWhenDone()
    {
        if (writer.isDone())
            xmlStopParser(parser);
    }
};

void startElement(void* context, const xmlChar* name, const xmlChar** attributes)
{
    Reading& reading = Reading::of(context);
    reading.writer.start(reinterpret_cast<const char*>(name), Attributes(attributes));
    reading.stopWhenDone();
}

void endElement(void* context, const xmlChar*)
{
    Reading::of(context).writer.end();
}

void characters(void* context, const xmlChar* bytes, int size)
{
    Reading& reading = Reading::of(context);
    reading.writer.text(QString::fromUtf8(reinterpret_cast<const char*>(bytes), size), false);
    reading.stopWhenDone();
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool looksLikeHtml(const QByteArray& bytes)
{
    // As the browser decided before: a tag near the start.
    const QByteArray start = bytes.left(1024).trimmed().toLower();
    return start.startsWith('<') || start.contains("<html") || start.contains("<body") || start.contains("<p>")
        || start.contains("<br");
}

// Feeds the page to libxml2's push parser a piece at a time, so that a cap
// stops the reading where it is reached; no document tree is built.
void read(const QByteArray& page, const QUrl& base, Writer& writer)
{
    constexpr qsizetype kPiece = 16 * 1024;
    htmlSAXHandler events;
    std::memset(&events, 0, sizeof events);
    events.startElement = startElement;
    events.endElement = endElement;
    events.characters = characters;
    events.ignorableWhitespace = characters;
    events.cdataBlock = characters;
    Reading reading{writer};
    // UTF-8 unless the bytes cannot be; then the page's own declaration.
    const xmlCharEncoding encoding = isUtf8(page) ? XML_CHAR_ENCODING_UTF8 : XML_CHAR_ENCODING_NONE;
    const int first = int(qMin(page.size(), kPiece));
    reading.parser = htmlCreatePushParserCtxt(&events, &reading, page.constData(), first, base.toEncoded().constData(),
                                              encoding);
    if (!reading.parser)
        return;
    htmlCtxtUseOptions(reading.parser,
                       HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    for (qsizetype at = first; !writer.isDone(); at += kPiece) {
        const bool last = at >= page.size();
        const int size = last ? 0 : int(qMin(kPiece, page.size() - at));
        htmlParseChunk(reading.parser, page.constData() + (last ? 0 : at), size, last ? 1 : 0);
        if (last)
            break;
    }
    htmlFreeParserCtxt(reading.parser);
}

}  // namespace

SanitisedPage sanitisePage(const QByteArray& bytes, const QUrl& base, const PageLimits& limits)
{
    Writer writer(base, limits);
    if (!looksLikeHtml(bytes)) {
        writer.text(QString::fromUtf8(bytes), true);
        return {QStringLiteral("<html><body><p>") + writer.html() + QStringLiteral("</p></body></html>"), {}};
    }
    read(boundTags(bytes, limits.maxTagBytes, limits.maxAttributes, limits.maxTags), base, writer);
    // Past a cap: what is open is closed.
    writer.closeAll();
    return {QStringLiteral("<html><body") + writer.bodyAttributes() + QLatin1Char('>') + writer.html()
                + QStringLiteral("</body></html>"),
            writer.pictures()};
}

}  // namespace qpt::internet
