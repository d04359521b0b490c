#include "mail_message.h"

#include <QUuid>

namespace qpt::internet {

namespace {

const char* const kFromName = "Quorbel Player Tirk Online System";

// The body with CR LF line ends, as UTF-8.
QByteArray bodyBytes(const QString& body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toUtf8();
}

// A header value as plain ASCII: no line breaks can slip into the header.
QByteArray headerText(const QString& value)
{
    QByteArray bytes;
    for (const QChar c : value) {
        const ushort u = c.unicode();
        bytes += (u >= 32 && u < 127) ? char(u) : '?';
    }
    return bytes;
}

bool mustEncode(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u == '=' || u < 32 || u > 126;
}

void appendHex(QByteArray& out, unsigned char u)
{
    static const char digits[] = "0123456789ABCDEF";
    out += '=';
    out += digits[u >> 4];
    out += digits[u & 15];
}

// One line (without its line end), broken with soft line ends so that no
// output line exceeds 76 characters.
QByteArray quotedLine(const QByteArray& line)
{
    QByteArray out;
    int column = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        const auto u = static_cast<unsigned char>(c);
        const bool last = i + 1 == line.size();
        // Blanks at the end of a line are lost in transport unless encoded.
        const bool encode = ((c == ' ' || c == '\t') ? last : mustEncode(c));
        const int width = encode ? 3 : 1;
        // Room for the "=" of a soft line end, unless this is the last character.
        if (column + width > (last ? 76 : 75)) {
            out += "=\r\n";
            column = 0;
        }
        if (encode)
            appendHex(out, u);
        else
            out += c;
        column += width;
    }
    return out;
}

}  // namespace

BodyEncoding bodyEncodingFor(const QString& body, bool relayTakes8Bit)
{
    if (!relayTakes8Bit)
        return BodyEncoding::QuotedPrintable;
    for (const QByteArray& line : bodyBytes(body).split('\n')) {
        if (line.size() > kMaxSmtpLine + 1)  // the CR still belongs to it
            return BodyEncoding::QuotedPrintable;
    }
    return BodyEncoding::EightBit;
}

QByteArray quotedPrintable(const QByteArray& text)
{
    QByteArray out;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines.at(i);
        const bool hadLineEnd = i + 1 < lines.size();
        if (hadLineEnd && line.endsWith('\r'))
            line.chop(1);
        out += quotedLine(line);
        if (hadLineEnd)
            out += "\r\n";
    }
    return out;
}

QByteArray newMessageId(const QString& sender)
{
    QString domain = sender.section(QLatin1Char('@'), -1).trimmed();
    if (!sender.contains(QLatin1Char('@')) || domain.isEmpty())
        domain = QStringLiteral("quorbel-player-tirk.invalid");
    return '<' + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + headerText(domain) + '>';
}

QByteArray composeMessage(const Letter& letter, BodyEncoding encoding)
{
    QStringList to;
    for (const QString& recipient : letter.recipients)
        to << QLatin1Char('<') + recipient + QLatin1Char('>');

    QByteArray message;
    message += "From: " + QByteArray(kFromName) + " <" + headerText(letter.sender) + ">\r\n";
    message += "To: " + headerText(to.join(QStringLiteral(", "))) + "\r\n";
    message += "Date: " + letter.date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    message += "Subject: " + headerText(letter.subject) + "\r\n";
    message += "Message-ID: " + letter.messageId + "\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += "Content-Type: text/plain; charset=UTF-8\r\n";
    message += encoding == BodyEncoding::EightBit ? "Content-Transfer-Encoding: 8bit\r\n"
                                                  : "Content-Transfer-Encoding: quoted-printable\r\n";
    message += "\r\n";

    const QByteArray body = bodyBytes(letter.body) + "\r\n";
    message += encoding == BodyEncoding::EightBit ? body : quotedPrintable(body);
    // Two empty lines close the report, as they always have.
    message += "\r\n\r\n";
    return message;
}

}  // namespace qpt::internet
