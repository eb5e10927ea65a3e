#include "names.h"

QString normalizedName(QStringView text)
{
    QString result(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
        const bool kept = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
        result[i] = kept ? QChar(c) : QChar(u' ');
    }
    return result;
}

QString paddedName(QString text)
{
    if (text.size() < kMinimumNameLength)
        text = text.leftJustified(kMinimumNameLength, u' ');
    return text;
}

QString upperCasedAscii(QStringView text)
{
    QString result = text.toString();
    for (QChar &c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(static_cast<char16_t>(c.unicode() - u'a' + u'A'));
    }
    return result;
}

QString preparedName(QStringView text)
{
    return paddedName(normalizedName(text));
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == QChar(0)))
        --end;
    return text.first(end);
}
