// The INI service: what reads back, what a write changes and what it keeps.

#include "codepage1252.h"
#include "inifile.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_IniFile final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsValues_data();
    void readsValues();
    void untouchedTextIsKeptByteForByte_data();
    void untouchedTextIsKeptByteForByte();
    void writesInPlace_data();
    void writesInPlace();
    void quotesOnlyWhatReadingWouldChange_data();
    void quotesOnlyWhatReadingWouldChange();
    void codePageRoundTrip();
    void bytesThatAreNotText();
};

void tst_IniFile::readsValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("number");

    const QByteArray file = "; comment=1\r\n"
                            "top=before any section\r\n"
                            "[Program]\r\n"
                            "Name=  TALO Amp \t\r\n"
                            "  Count = 12\r\n"
                            "Minus=-3\r\n"
                            "Letters=12ab\r\n"
                            "Huge=99999999999\r\n"
                            "Empty=\r\n"
                            "Count=99\r\n"
                            ";Hidden=1\r\n"
                            "[ Other ]\n"
                            "Text=caf\xe9 \x80\n"
                            "[program]\r\n"
                            "Name=second section\r\n"
                            "Late=1";
    QTest::newRow("blanks around the value dropped") << file << u"Program"_s << u"Name"_s << u"TALO Amp"_s << 0;
    QTest::newRow("names without regard to case") << file << u"PROGRAM"_s << u"name"_s << u"TALO Amp"_s << 0;
    QTest::newRow("blanks around the key") << file << u"Program"_s << u"Count"_s << u"12"_s << 12;
    QTest::newRow("negative number") << file << u"Program"_s << u"Minus"_s << u"-3"_s << -3;
    QTest::newRow("not an integer reads 0") << file << u"Program"_s << u"Letters"_s << u"12ab"_s << 0;
    QTest::newRow("beyond 32 bits reads 0") << file << u"Program"_s << u"Huge"_s << u"99999999999"_s << 0;
    QTest::newRow("empty value") << file << u"Program"_s << u"Empty"_s << QString() << 0;
    QTest::newRow("missing key") << file << u"Program"_s << u"Nothing"_s << QString() << 0;
    QTest::newRow("missing section") << file << u"Nowhere"_s << u"Name"_s << QString() << 0;
    QTest::newRow("comment is no entry") << file << u"Program"_s << u";Hidden"_s << QString() << 0;
    QTest::newRow("entry before any section") << file << QString() << u"top"_s << QString() << 0;
    QTest::newRow("blanks in header, LF ends, code page")
        << file << u"other"_s << u"Text"_s << u"caf\u00e9 \u20ac"_s << 0;
    QTest::newRow("repeated section ignored") << file << u"Program"_s << u"Late"_s << QString() << 0;

    const QByteArray longValue(3000, 'x');
    QTest::newRow("value cut at 2047") << "[S]\nK=" + longValue << u"S"_s << u"K"_s
                                       << QString(2047, u'x') << 0;
    QTest::newRow("one pair of quotes taken off, blanks inside kept")
        << QByteArray("[S]\nK= \" ab  \"\t\n") << u"S"_s << u"K"_s << u" ab  "_s << 0;
    QTest::newRow("quotes around quotes") << QByteArray("[S]\nK=\"\"x\"\"") << u"S"_s << u"K"_s
                                          << u"\"x\""_s << 0;
    QTest::newRow("header without bracket") << QByteArray("[S\nK=1") << u"S"_s << u"K"_s << u"1"_s << 1;
}

void tst_IniFile::readsValues()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, number);
    const IniFile file(text);
    QCOMPARE(file.value(section, key), value);
    QCOMPARE(file.intValue(section, key), number);
}

void tst_IniFile::untouchedTextIsKeptByteForByte_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("CR LF") << QByteArray("[A]\r\nk=v\r\n\r\n[B]\r\n");
    QTest::newRow("LF, no final line end") << QByteArray("[A]\nk=v\n; note\n[B]\nx");
    QTest::newRow("repeated sections and keys") << QByteArray("[A]\nk=1\nk=2\n[a]\nk=3\n");
    QTest::newRow("lone CR and NUL") << QByteArray("a\rb\0c\n[\n=\n]", 11);
}

void tst_IniFile::untouchedTextIsKeptByteForByte()
{
    QFETCH(QByteArray, text);
    QCOMPARE(IniFile(text).toBytes(), text);
}

void tst_IniFile::writesInPlace_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << u"Program"_s << u"Name"_s << u"TALO Amp"_s
                              << QByteArray("[Program]\r\nName=TALO Amp\r\n");
    QTest::newRow("overwritten where it stands, own line end kept")
        << QByteArray("[a]\nK = old \nz=1\n") << u"A"_s << u"k"_s << u"new"_s
        << QByteArray("[a]\nk=new\nz=1\n");
    QTest::newRow("new key after the last entry, before comments and blanks")
        << QByteArray("[A]\nx=1\n; about B\n\n[B]\ny=2\n") << u"A"_s << u"k"_s << u"v"_s
        << QByteArray("[A]\nx=1\nk=v\r\n; about B\n\n[B]\ny=2\n");
    QTest::newRow("new section after a last line without line end")
        << QByteArray("[A]\nx=1") << u"B"_s << u"k"_s << u"v"_s
        << QByteArray("[A]\nx=1\r\n[B]\r\nk=v\r\n");
    QTest::newRow("repeated section stays as it is")
        << QByteArray("[A]\nk=1\n[B]\n[A]\nk=2\n") << u"a"_s << u"k"_s << u"3"_s
        << QByteArray("[A]\nk=3\n[B]\n[A]\nk=2\n");
    QTest::newRow("key added to a section followed by a repeated one")
        << QByteArray("[A]\n[B]\nk=1\n[A]\nj=2\n") << u"B"_s << u"j"_s << u"3"_s
        << QByteArray("[A]\n[B]\nk=1\nj=3\r\n[A]\nj=2\n");
    QTest::newRow("line breaks in a value become blanks")
        << QByteArray() << u"S"_s << u"k"_s << u"a\r\n[Program]\nName=x"_s
        << QByteArray("[S]\r\nk=a  [Program] Name=x\r\n");
    QTest::newRow("blanks at the ends quoted")
        << QByteArray() << u"S"_s << u"k"_s << u" AB \t"_s << QByteArray("[S]\r\nk=\" AB \t\"\r\n");
    QTest::newRow("quoted value quoted again")
        << QByteArray() << u"S"_s << u"k"_s << u"\"x\""_s << QByteArray("[S]\r\nk=\"\"x\"\"\r\n");
    QTest::newRow("character outside the code page")
        << QByteArray() << u"S"_s << u"k"_s << u"\u00e9\u4e2d\U0001F600"_s
        << QByteArray("[S]\r\nk=\xe9??\r\n");
}

void tst_IniFile::writesInPlace()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    IniFile file(before);
    file.setValue(section, key, value);
    QCOMPARE(file.toBytes(), after);
}

// Written bare unless reading it back, then padding it as its reader does,
// would give another value; whatever is written reads back to it.
void tst_IniFile::quotesOnlyWhatReadingWouldChange_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("paddingRestoredTo");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("padding to the restored width") << u"AB   "_s << 5 << QByteArray("AB   ");
    QTest::newRow("shorter than the width, no blank") << u"AB"_s << 5 << QByteArray("AB");
    QTest::newRow("longer than the width") << u"MONITORS"_s << 5 << QByteArray("MONITORS");
    QTest::newRow("blank beyond the width") << u"MONITOR "_s << 5 << QByteArray("\"MONITOR \"");
    QTest::newRow("leading blank, padded") << u" AB  "_s << 5 << QByteArray("\" AB  \"");
    QTest::newRow("tab in the padding") << u"AB\t  "_s << 5 << QByteArray("\"AB\t  \"");
    QTest::newRow("quoted, padded") << u"\"A\"  "_s << 5 << QByteArray("\"\"A\"  \"");
    QTest::newRow("free text, blanks inside") << u"Main stage"_s << 0 << QByteArray("Main stage");
    QTest::newRow("free text ending in a blank") << u"Main "_s << 0 << QByteArray("\"Main \"");
    QTest::newRow("free text, lone quote") << u"\"Main"_s << 0 << QByteArray("\"Main");
    QTest::newRow("empty") << QString() << 5 << QByteArray();
}

void tst_IniFile::quotesOnlyWhatReadingWouldChange()
{
    QFETCH(QString, value);
    QFETCH(int, paddingRestoredTo);
    QFETCH(QByteArray, written);
    IniFile file;
    file.setValue(u"S", u"k", value, paddingRestoredTo);
    QCOMPARE(file.toBytes(), "[S]\r\nk=" + written + "\r\n");
    QCOMPARE(IniFile(file.toBytes()).value(u"S", u"k").leftJustified(paddingRestoredTo),
             value.leftJustified(paddingRestoredTo));
}

void tst_IniFile::codePageRoundTrip()
{
    QByteArray everyByte(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        everyByte[b] = static_cast<char>(b);
    const QString text = fromCodePage1252(everyByte);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text[0x80], QChar(0x20AC));
    QCOMPARE(text[0x9F], QChar(0x0178));
    QCOMPARE(text[0xFC], QChar(0x00FC));
    QCOMPARE(toCodePage1252(text), everyByte);
    QCOMPARE(toCodePage1252(u"\u0080\u0100"), QByteArray("??"));
}

// Random bytes: parsing, reading and writing neither crash nor lose the bytes.
void tst_IniFile::bytesThatAreNotText()
{
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &byte : noise) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    IniFile file(noise);
    QCOMPARE(file.toBytes(), noise);
    QCOMPARE(file.value(u"Program", u"Name"), QString());
    file.setValue(u"Program", u"Name", u"x");
    QVERIFY(file.toBytes().startsWith(noise));
    QCOMPARE(IniFile(file.toBytes()).value(u"Program", u"Name"), u"x"_s);
}

QTEST_APPLESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
