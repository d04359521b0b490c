#pragma once
// What the Length column of one row shows, in eight bytes: rows keep the
// number and format it when they are drawn.

#include <QString>
#include <QtGlobal>

#include <optional>

namespace qpt {

class SongLength {
public:
    enum class Kind : quint8 {
        Pending,       // not measured yet: shown empty
        Measured,      // milliseconds, shown as "m:ss" or "h:m:ss"
        CdTrack,       // whole seconds from a track file, shown as minutes ":" seconds
        NotAvailable,  // "N/A": a track file whose header holds no length
        Blank,         // nothing to show (no track file, or too long to count)
        Unknown,       // "-:--": the file did not answer in time (a share gone away)
    };

    SongLength() = default;
    static SongLength pending() { return SongLength(); }
    static SongLength notAvailable() { return SongLength(Kind::NotAvailable, 0); }
    static SongLength blank() { return SongLength(Kind::Blank, 0); }
    static SongLength unknown() { return SongLength(Kind::Unknown, 0); }
    // nullopt beyond what 32-bit milliseconds hold (or below zero).
    static std::optional<SongLength> fromMilliseconds(qint64 ms);
    static SongLength cdTrack(int seconds) { return SongLength(Kind::CdTrack, seconds); }

    Kind kind() const { return m_kind; }
    bool isPending() const { return m_kind == Kind::Pending; }
    // A measured length the column shows as "0:00".
    bool showsZero() const { return m_kind == Kind::Measured && m_value <= 500; }
    // Milliseconds for a measured song; nullopt otherwise.
    std::optional<qint32> milliseconds() const;

    QString text() const;
    bool operator==(const SongLength&) const = default;

    // Milliseconds -> "m:ss" or "h:m:ss"; whole seconds rounded halves to
    // even. nullopt outside 0 .. 2^31-1 ms.
    static std::optional<QString> formatMilliseconds(qint64 ms);

private:
    SongLength(Kind kind, qint32 value) : m_value(value), m_kind(kind) {}
    qint32 m_value = 0;
    Kind m_kind = Kind::Pending;
};

}  // namespace qpt
