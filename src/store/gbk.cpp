#include "store/gbk.h"

#include <QStringEncoder>
#include <optional>

namespace {

// Encodes one piece; returns false when the encoder met a character it cannot hold.
bool encodePiece(QStringView piece, QByteArray& out)
{
    // Opening the converter costs far more than a short line; keep one per thread.
    thread_local std::optional<QStringEncoder> encoder;
    if (!encoder)
        encoder.emplace("GBK", QStringConverter::Flag::Stateless);
    if (!encoder->isValid())
        qFatal("The GBK encoder is not available in this Qt build");
    const QByteArray bytes = encoder->encode(piece);
    if (encoder->hasError()) {
        // The error sticks to the converter; the next piece gets a fresh one.
        encoder.reset();
        return false;
    }
    out += bytes;
    return true;
}

bool isAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

QByteArray encodeGbk(const QString& text)
{
    if (isAscii(text))
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size() * 2);
    QByteArray whole;
    if (encodePiece(text, whole))
        return whole;
    // Slow path: some character has no GBK form; encode code point by code point.
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        if (!encodePiece(QStringView(text).mid(i, len), out))
            out += '?';
        i += len;
    }
    return out;
}

qsizetype gbkLength(const QString& text)
{
    return encodeGbk(text).size();
}

bool isGbkText(const QString& text)
{
    QByteArray out;
    return encodePiece(text, out);
}
