#include "page_sanitiser.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <libxml/HTMLparser.h>

#include <memory>
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

bool isWeb(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
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
        const bool allowed = isWeb(url) || (kind == Value::Link && url.scheme() == QLatin1String("mailto"));
        return allowed && url.isValid() ? url.toString(QUrl::FullyEncoded) : QString();
    }
    }
    return QString();
}

QString attributeText(const xmlAttr* attribute)
{
    QString text;
    for (const xmlNode* child = attribute->children; child; child = child->next) {
        if (child->content)
            text += QString::fromUtf8(reinterpret_cast<const char*>(child->content));
        if (text.size() > 4096)
            break;
    }
    return text;
}

QString attributeNamed(const xmlNode* node, std::string_view name)
{
    for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
        if (std::string_view(reinterpret_cast<const char*>(attribute->name)) == name)
            return attributeText(attribute);
    }
    return QString();
}

// ---------------------------------------------------------------- writer

class Writer {
public:
    Writer(const QUrl& base, const PageLimits& limits) : m_base(base), m_limits(limits) {}

    void walk(xmlNode* first);
    void text(const QString& text, bool keepLineBreaks);
    QString html() const { return m_out; }
    QList<QUrl> pictures() const { return m_pictures; }
    QString attributesOf(const xmlNode* node, const Element& element);

private:
    // Opens the node; true when its children are to be walked (a frame
    // was pushed for it, closed by leave()).
    bool enter(xmlNode* node);
    void leave();
    bool fits(const Element& element) const;
    const Element* innermost() const;
    void openElement(const Element& element, const QString& attributes);

    QUrl m_base;
    PageLimits m_limits;
    QString m_out;
    QList<QUrl> m_pictures;
    std::vector<const Element*> m_frames;  // nullptr: an element given way to its text
    int m_depth = 0;                       // elements open in the output
    int m_tables = 0;                      // tables open in the output
    int m_elements = 0;
    int m_textChars = 0;
    int m_wordChars = 0;
    bool m_full = false;                   // the text cap is reached
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

QString Writer::attributesOf(const xmlNode* node, const Element& element)
{
    QString out;
    for (const Attribute& allowed : element.attributes) {
        const QString value = checkedValue(allowed.value, attributeNamed(node, allowed.name), m_base);
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

bool Writer::enter(xmlNode* node)
{
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        if (node->content)
            text(QString::fromUtf8(reinterpret_cast<const char*>(node->content)), false);
        return false;
    }
    if (node->type != XML_ELEMENT_NODE || !node->name)
        return false;
    const std::string_view name(reinterpret_cast<const char*>(node->name));
    if (isDropped(name))
        return false;
    const Element* element = elementNamed(name);
    if (element && fits(*element)) {
        const QString attributes = attributesOf(node, *element);
        if (name == "img") {
            // A picture is shown only from the web, and only so many.
            const QString source = checkedValue(Value::Picture, attributeNamed(node, "src"), m_base);
            if (source.isEmpty() || m_pictures.size() >= m_limits.maxPictures)
                return false;
            const QUrl url = QUrl::fromEncoded(source.toUtf8());
            if (!m_pictures.contains(url))
                m_pictures << url;
        }
        openElement(*element, attributes);
        if (element->isVoid)
            return false;
        m_frames.push_back(element);
        return true;
    }
    if (element && element->isVoid) {
        // A line break that may not stand as one still separates words.
        if (name == "br")
            text(QStringLiteral(" "), false);
        return false;
    }
    // Its text stays, apart from the text around it.
    if (element)
        text(QStringLiteral(" "), false);
    m_frames.push_back(nullptr);
    return true;
}

void Writer::leave()
{
    const Element* element = m_frames.back();
    m_frames.pop_back();
    if (!element)
        return;
    m_out += QStringLiteral("</") + QLatin1String(element->name) + QLatin1Char('>');
    --m_depth;
    if (element->place == Place::Table)
        --m_tables;
}

void Writer::text(const QString& text, bool keepLineBreaks)
{
    for (const QChar c : text) {
        if (m_full)
            return;
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
        if (c.isSpace() || c == QChar(0x200B)) {
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

void Writer::walk(xmlNode* first)
{
    xmlNode* const stop = first ? first->parent : nullptr;
    xmlNode* node = first;
    while (node && !m_full) {
        if (enter(node)) {
            if (node->children) {
                node = node->children;
                continue;
            }
            leave();
        }
        while (node && !node->next) {
            node = node->parent;
            if (!node || node == stop) {
                node = nullptr;
                break;
            }
            leave();
        }
        if (node)
            node = node->next;
    }
    // Past the text cap: what is open is closed.
    while (!m_frames.empty())
        leave();
}

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

xmlNode* childNamed(xmlNode* parent, std::string_view name)
{
    for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && child->name
            && name == std::string_view(reinterpret_cast<const char*>(child->name)))
            return child;
    }
    return nullptr;
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

}  // namespace

SanitisedPage sanitisePage(const QByteArray& bytes, const QUrl& base, const PageLimits& limits)
{
    Writer writer(base, limits);
    if (!looksLikeHtml(bytes)) {
        writer.text(QString::fromUtf8(bytes), true);
        return {QStringLiteral("<html><body><p>") + writer.html() + QStringLiteral("</p></body></html>"), {}};
    }

    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    // UTF-8 unless the bytes cannot be; then the page's own declaration.
    const std::unique_ptr<xmlDoc, DocFree> doc(htmlReadMemory(bytes.constData(), int(bytes.size()),
                                                              base.toEncoded().constData(),
                                                              isUtf8(bytes) ? "UTF-8" : nullptr, options));
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    xmlNode* body = childNamed(root, "body");
    static const Element kBody{"body", Place::Anywhere, false, {{"bgcolor", Value::Colour}, {"text", Value::Colour}}};
    const QString bodyAttributes = body ? writer.attributesOf(body, kBody) : QString();
    if (root)
        writer.walk(root);
    return {QStringLiteral("<html><body") + bodyAttributes + QLatin1Char('>') + writer.html()
                + QStringLiteral("</body></html>"),
            writer.pictures()};
}

}  // namespace qpt::internet
