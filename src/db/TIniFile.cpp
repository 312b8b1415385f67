#include "db/TIniFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringView>

namespace {

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView TrimBlanks(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && IsBlank(s.at(begin)))
        ++begin;
    while (end > begin && IsBlank(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

QString Limited(QStringView value) {
    qsizetype length = qMin<qsizetype>(value.size(), TIniFile::MaxValueLength);
    // Never keep half of a surrogate pair.
    if (length < value.size() && length > 0 && value.at(length - 1).isHighSurrogate())
        --length;
    return value.left(length).toString();
}

// The file's text: UTF-16 with its byte-order mark, else UTF-8 (a leading mark dropped), else
// the bytes as Latin-1.
QString Decode(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return utf16.decode(QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16BE);
        return utf16.decode(QByteArrayView(bytes).sliced(2));
    }
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(data);
}

} // namespace

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

QString TIniFile::ReadString(const QString& section, const QString& ident,
                             const QString& defaultValue) const {
    QStringView fallback(defaultValue);
    while (!fallback.isEmpty() && IsBlank(fallback.back()))
        fallback.chop(1);
    const QString defaultResult = Limited(fallback);

    const QStringView wantedSection = TrimBlanks(section);
    const QStringView wantedKey = TrimBlanks(ident);
    if (wantedSection.isEmpty() || wantedKey.isEmpty())
        return defaultResult;

    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly))
        return defaultResult;
    const QString text = Decode(file.readAll());
    file.close();

    bool inSection = false;
    for (QStringView line : QStringView(text).tokenize(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        line = TrimBlanks(line);
        if (line.isEmpty() || line.front() == QLatin1Char(';'))
            continue;
        if (line.front() == QLatin1Char('[')) {
            if (inSection)
                return defaultResult;
            qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                close = line.size();
            const QStringView name = TrimBlanks(line.mid(1, close - 1));
            if (name.compare(wantedSection, Qt::CaseInsensitive) == 0)
                inSection = true;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (TrimBlanks(line.left(equals)).compare(wantedKey, Qt::CaseInsensitive) != 0)
            continue;
        QStringView value = TrimBlanks(line.mid(equals + 1));
        if (value.size() >= 2 && value.front() == value.back() &&
            (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
            value = value.mid(1, value.size() - 2);
        return Limited(value);
    }
    return defaultResult;
}
