#include "store/gbk.h"
#include "store/numbers.h"

#include <QTest>
#include <clocale>
#include <limits>

class TestNumbers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversion_data();
    void conversion();
    void conversionIgnoresTheLocale();
    void centRounding_data();
    void centRounding();
    void centRoundingRefusesHugeAmounts();
    void numberText_data();
    void numberText();
    void dateTexts();
    void periodKeys();
    void gbkLengths();
    void gbkEncoding();
};

void TestNumbers::conversion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "3500" << true << 3500.0;
    QTest::newRow("fraction") << "12.30" << true << 12.3;
    QTest::newRow("leading zeros") << "007" << true << 7.0;
    QTest::newRow("lone point") << "." << true << 0.0;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("leading point") << ".5" << true << 0.5;
    QTest::newRow("blanks, sign and exponent") << " +1.5e2 " << true << 150.0;
    QTest::newRow("negative") << "-0.25" << true << -0.25;
    QTest::newRow("upper exponent") << "2E-3" << true << 0.002;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blanks only") << "   " << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("letters") << "12a" << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("comma") << "1,5" << false << 0.0;
    QTest::newRow("inner blank") << "1 5" << false << 0.0;
    QTest::newRow("full-width digits") << QStringLiteral("１２") << false << 0.0;
    QTest::newRow("underflow") << "1e-999" << true << 0.0;
}

void TestNumbers::conversion()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const auto converted = convertNumber(text);
    QCOMPARE(converted.has_value(), ok);
    if (ok)
        QCOMPARE(*converted, value);
}

void TestNumbers::conversionIgnoresTheLocale()
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved = old ? QByteArray(old) : QByteArray("C");
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "C");
    QCOMPARE(*convertNumber(QStringLiteral("12.5")), 12.5);
    QCOMPARE(::numberText(12.5), QStringLiteral("12.5"));
    std::setlocale(LC_NUMERIC, saved.constData());
}

void TestNumbers::centRounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("tie down to even") << 0.125 << 0.12;
    QTest::newRow("tie up to even") << 0.375 << 0.38;
    QTest::newRow("no change") << 12.3 << 12.3;
    QTest::newRow("whole") << 100.0 << 100.0;
    QTest::newRow("rounds to zero") << 0.004 << 0.0;
    QTest::newRow("negative rounds to plain zero") << -0.004 << 0.0;
    QTest::newRow("negative tie") << -0.125 << -0.12;
    QTest::newRow("large") << 99999999999.99 << 99999999999.99;
}

void TestNumbers::centRounding()
{
    QFETCH(double, value);
    QFETCH(double, rounded);
    const auto result = roundCents(value);
    QVERIFY(result.has_value());
    QCOMPARE(*result, rounded);
    QVERIFY(!std::signbit(*result) || *result != 0.0);
}

void TestNumbers::centRoundingRefusesHugeAmounts()
{
    QVERIFY(roundCents(9.2e16).has_value());
    QVERIFY(!roundCents(9.3e16).has_value()); // 9.3e18 cents passes 2^63
    QVERIFY(!roundCents(std::numeric_limits<double>::infinity()).has_value());
    QVERIFY(parseAmount(QStringLiteral("999999999999")).has_value());
    QVERIFY(!parseAmount(QStringLiteral("1e300")).has_value());
    QVERIFY(!parseAmount(QStringLiteral("1e999")).has_value());
    QCOMPARE(*parseAmount(QStringLiteral(".")), 0.0);
}

void TestNumbers::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 3500.0 << "3500";
    QTest::newRow("fraction") << 12.5 << "12.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("binary fraction sum") << 0.1 + 0.2 << "0.3";
    QTest::newRow("difference") << 0.3 - 0.1 << "0.2";
    QTest::newRow("negative") << -1250.75 << "-1250.75";
    QTest::newRow("fifteen digits") << 999999999999999.0 << "999999999999999";
    QTest::newRow("sixteen digits") << 1e15 << "1E15";
    QTest::newRow("tiny") << 5.55111512312578e-17 << "5.55111512312578E-17";
    QTest::newRow("small but plain") << 0.0001 << "0.0001";
    QTest::newRow("below 0.0001") << 0.00001 << "1E-5";
    QTest::newRow("large with fraction") << 24994764626.11 << "24994764626.11";
}

void TestNumbers::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(::numberText(value), text);
}

void TestNumbers::dateTexts()
{
    QCOMPARE(dateText(QDate(2005, 11, 5)), QStringLiteral("2005-11-05"));
    QCOMPARE(dateTimeText(QDateTime(QDate(2005, 11, 3), QTime(14, 5, 9))),
             QStringLiteral("2005-11-03 14:05:09"));
    QCOMPARE(dateTimeText(QDateTime(QDate(2005, 11, 4), QTime(0, 0, 0, 500))),
             QStringLiteral("2005-11-04"));
    QCOMPARE(dateTimeText(QDateTime(QDate(2005, 11, 4), QTime(0, 0, 1))),
             QStringLiteral("2005-11-04 00:00:01"));
}

void TestNumbers::periodKeys()
{
    QCOMPARE(periodKey(QDate(2005, 11, 5)), QStringLiteral("200511"));
    QCOMPARE(periodKey(QDate(2024, 1, 31)), QStringLiteral("202401"));
    QCOMPARE(periodKey(QDate(99, 3, 1)), QStringLiteral("209903"));
}

void TestNumbers::gbkLengths()
{
    QCOMPARE(gbkLength(QStringLiteral("admin")), 5);
    QCOMPARE(gbkLength(QStringLiteral("工资")), 4);
    QCOMPARE(gbkLength(QStringLiteral("01工资")), 6);
    QCOMPARE(gbkLength(QString(100, QChar(0x5341))), 200);
    QVERIFY(isGbkText(QStringLiteral("十一月")));
    QVERIFY(!isGbkText(QStringLiteral("emoji \U0001F600")));
}

void TestNumbers::gbkEncoding()
{
    QCOMPARE(encodeGbk(QStringLiteral("工资")), QByteArray("\xB9\xA4\xD7\xCA"));
    QCOMPARE(encodeGbk(QStringLiteral("元")), QByteArray("\xD4\xAA"));
    // What GBK cannot hold becomes '?', one per character, surrogate pairs included.
    QCOMPARE(encodeGbk(QStringLiteral("a\U0001F600b")), QByteArray("a?b"));
    QCOMPARE(encodeGbk(QStringLiteral("\u0E01\u5341")), QByteArray("?\xCA\xAE"));
}

QTEST_APPLESS_MAIN(TestNumbers)
#include "test_numbers.moc"
