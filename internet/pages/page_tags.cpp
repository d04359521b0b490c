#include "page_tags.h"

#include <string_view>

namespace qpt::internet {

namespace {

// Where in a tag a byte stands, as an HTML tokenizer sees it.
enum class State { Name, BeforeAttribute, AttributeName, AfterAttributeName, BeforeValue, QuotedValue, UnquotedValue };

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool startsTag(const QByteArray& page, qsizetype at)
{
    if (page.at(at) != '<' || at + 1 >= page.size())
        return false;
    const char next = page.at(at + 1);
    return isLetter(next) || next == '/' || next == '!' || next == '?';
}

// The elements whose content the parser does not read as markup, up to
// their own end tag.
bool isRawText(std::string_view name)
{
    return name == "script" || name == "style";
}

// Where "</name" (any case) next begins, or the end of the page.
qsizetype endTagOf(const QByteArray& page, qsizetype from, std::string_view name)
{
    for (qsizetype at = page.indexOf("</", from); at >= 0; at = page.indexOf("</", at + 2)) {
        qsizetype i = 0;
        while (i < qsizetype(name.size()) && at + 2 + i < page.size() && lower(page.at(at + 2 + i)) == name[i])
            ++i;
        if (i == qsizetype(name.size()))
            return at;
    }
    return page.size();
}

class TagCopier {
public:
    TagCopier(QByteArray& out, int maxTagBytes, int maxAttributes)
        : m_out(out), m_maxTagBytes(maxTagBytes), m_maxAttributes(maxAttributes)
    {
    }

    // Copies the tag that begins at `start`; where the page goes on after it.
    qsizetype copy(const QByteArray& page, qsizetype start)
    {
        const qsizetype size = page.size();
        qsizetype at = start + 1;
        m_out += '<';
        m_closing = page.at(at) == '/';
        if (m_closing) {
            m_out += '/';
            ++at;
        }
        for (; at < size; ++at) {
            const char c = page.at(at);
            if (c == '>' && m_state != State::QuotedValue)
                break;
            if (!m_cut && at - start >= m_maxTagBytes)
                cut();
            step(c);
            if (!m_cut)
                m_out += c;
        }
        if (m_cut || at < size)
            m_out += '>';
        return at < size ? at + 1 : size;
    }

    // The element it opens ("" for an end tag, a comment or a declaration).
    std::string_view opened() const { return m_closing ? std::string_view() : std::string_view(m_name); }

private:
    // The rest of the tag is passed over; a quoted value is closed first.
    void cut()
    {
        m_cut = true;
        if (m_state == State::QuotedValue)
            m_out += m_quote;
    }

    void newAttribute()
    {
        m_state = State::AttributeName;
        if (++m_attributes > m_maxAttributes && !m_cut)
            cut();
    }

    void step(char c)
    {
        switch (m_state) {
        case State::Name:
            if (isSpace(c) || c == '/')
                m_state = State::BeforeAttribute;
            else if (m_name.size() < 16)
                m_name += lower(c);
            break;
        case State::BeforeAttribute:
            if (!isSpace(c) && c != '/')
                newAttribute();
            break;
        case State::AttributeName:
            if (isSpace(c))
                m_state = State::AfterAttributeName;
            else if (c == '=')
                m_state = State::BeforeValue;
            else if (c == '/')
                m_state = State::BeforeAttribute;
            break;
        case State::AfterAttributeName:
            if (c == '=')
                m_state = State::BeforeValue;
            else if (c == '/')
                m_state = State::BeforeAttribute;
            else if (!isSpace(c))
                newAttribute();
            break;
        case State::BeforeValue:
            if (c == '"' || c == '\'') {
                m_state = State::QuotedValue;
                m_quote = c;
            } else if (!isSpace(c)) {
                m_state = State::UnquotedValue;
            }
            break;
        case State::QuotedValue:
            if (c == m_quote)
                m_state = State::BeforeAttribute;
            break;
        case State::UnquotedValue:
            if (isSpace(c))
                m_state = State::BeforeAttribute;
            break;
        }
    }

    QByteArray& m_out;
    const int m_maxTagBytes;
    const int m_maxAttributes;
    State m_state = State::Name;
    std::string m_name;
    char m_quote = '"';
    int m_attributes = 0;
    bool m_closing = false;
    bool m_cut = false;
};

}  // namespace

QByteArray boundTags(const QByteArray& page, int maxTagBytes, int maxAttributes, int maxTags)
{
    QByteArray out;
    out.reserve(page.size());
    int tags = 0;
    qsizetype at = 0;
    while (at < page.size()) {
        if (!startsTag(page, at)) {
            // Text up to the next "<", as it is.
            qsizetype next = page.indexOf('<', at + 1);
            if (next < 0)
                next = page.size();
            out.append(page.constData() + at, next - at);
            at = next;
            continue;
        }
        if (++tags > maxTags)
            break;
        if (page.mid(at, 4) == "<!--") {
            const qsizetype end = page.indexOf("-->", at + 4);
            const qsizetype next = end < 0 ? page.size() : end + 3;
            out.append(page.constData() + at, next - at);
            at = next;
            continue;
        }
        TagCopier tag(out, maxTagBytes, maxAttributes);
        at = tag.copy(page, at);
        if (isRawText(tag.opened())) {
            const qsizetype end = endTagOf(page, at, tag.opened());
            out.append(page.constData() + at, end - at);
            at = end;
        }
    }
    return out;
}

}  // namespace qpt::internet
