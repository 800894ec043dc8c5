#include "platform/Text.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <algorithm>

QString ToQString(const std::string& Bytes) {
    // A leading byte-order mark is text too; the decoder would drop it by default.
    QStringDecoder Decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString S = Decoder.decode(QByteArrayView(Bytes.data(), qsizetype(Bytes.size())));
    if (!Decoder.hasError()) return S;
    return QString::fromLatin1(Bytes.data(), qsizetype(Bytes.size()));
}

std::string FromQString(const QString& Text) {
    const bool Latin1 = std::all_of(Text.begin(), Text.end(), [](QChar C) { return C.unicode() <= 0xFF; });
    const QByteArray B = Latin1 ? Text.toLatin1() : Text.toUtf8();
    return std::string(B.constData(), size_t(B.size()));
}

std::string Utf8FromQString(const QString& Text) {
    const QByteArray B = Text.toUtf8();
    return std::string(B.constData(), size_t(B.size()));
}

std::string Utf8Text(const std::string& Bytes) { return Utf8FromQString(ToQString(Bytes)); }

QString PathToQString(const std::string& Path) {
    return QFile::decodeName(QByteArray(Path.data(), qsizetype(Path.size())));
}

std::string PathFromQString(const QString& Path) {
    const QByteArray B = QFile::encodeName(Path);
    return std::string(B.constData(), size_t(B.size()));
}

std::string PathFromText(const std::string& Text) { return PathFromQString(ToQString(Text)); }

std::string TextFromPath(const std::string& Path) { return FromQString(PathToQString(Path)); }
