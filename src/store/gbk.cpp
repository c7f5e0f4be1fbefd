#include "store/gbk.h"

#include <QStringEncoder>

namespace {

// Encodes one piece; returns false when the encoder met a character it cannot hold.
bool encodePiece(QStringView piece, QByteArray& out)
{
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        qFatal("The GBK encoder is not available in this Qt build");
    const QByteArray bytes = encoder.encode(piece);
    if (encoder.hasError())
        return false;
    out += bytes;
    return true;
}

} // namespace

QByteArray encodeGbk(const QString& text)
{
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
