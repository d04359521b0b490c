#pragma once
// The bug report as a standard Internet message: the header lines a
// mailbox expects (From, To, Date, Subject, Message-ID, the MIME type with
// its character set), a blank line, then the body. The body is UTF-8, sent
// as it is where the relay takes 8-bit data, and quoted-printable where it
// does not (or where a line would be too long for the wire).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace qpt::internet {

struct Letter {
    QString heloName;        // the local host name
    QString sender;          // a valid address for MAIL FROM and From:
    QStringList recipients;  // one RCPT TO each, in this order; To: lists them
    QString subject;
    QString body;            // lines joined by CR LF (or LF)
    QDateTime date;          // the Date: header
    QByteArray messageId;    // the Message-ID: header, angle brackets included
};

enum class BodyEncoding { EightBit, QuotedPrintable };

// Longest line SMTP carries, without its CR LF.
inline constexpr int kMaxSmtpLine = 998;

// EightBit where the relay offers 8BITMIME and every line fits the wire.
BodyEncoding bodyEncodingFor(const QString& body, bool relayTakes8Bit);

// The header lines and the body, every line ending in CR LF, followed by
// the two empty lines that close a report. Not yet dot-stuffed.
QByteArray composeMessage(const Letter& letter, BodyEncoding encoding);

// Quoted-printable (RFC 2045) of text whose lines end in CR LF: the line
// ends stay, no encoded line is longer than 76 characters.
QByteArray quotedPrintable(const QByteArray& text);

// "<unique@domain of the sender>"
QByteArray newMessageId(const QString& sender);

}  // namespace qpt::internet
