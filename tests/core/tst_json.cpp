#include "TestHarness.h"
#include "core/json/JsonReader.h"
#include "core/json/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

// The encoder and the strict decoding helpers that every stored file goes through.
class JsonTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void stringsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("ascii") << "Autumn Leaves"
                               << "Autumn Leaves";
        QTest::newRow("quotes and backslashes") << "say \"hi\" \\ C:\\dir"
                                                << "say \"hi\" \\ C:\\dir";
        QTest::newRow("control characters")
            << QString::fromUtf8("a\nb\tc\rd\x01\x1f\b\f") << QString::fromUtf8("a\nb\tc\rd\x01\x1f\b\f");
        QTest::newRow("slash") << "/home/user/a.pdf"
                               << "/home/user/a.pdf";
        QTest::newRow("two-byte and three-byte")
            << QString::fromUtf8("Gözlerin İçin — €") << QString::fromUtf8("Gözlerin İçin — €");
        QTest::newRow("outside the BMP") << QString::fromUtf8("🎵 Song 𝄞") << QString::fromUtf8("🎵 Song 𝄞");
        QTest::newRow("lone surrogate becomes U+FFFD")
            << (QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"))
            << QString::fromUtf8("a\xEF\xBF\xBD"
                                 "b");
        QTest::newRow("opening byte-order mark kept") << QString(QChar(0xFEFF)) + QStringLiteral("Intro")
                                                      << QString(QChar(0xFEFF)) + QStringLiteral("Intro");
        QTest::newRow("decomposed kept as is")
            << QString::fromUtf8("Cafe\xCC\x81") << QString::fromUtf8("Cafe\xCC\x81");
    }

    void stringsRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        json::JsonWriter w;
        w.beginObject();
        for (const char *key : {"s", "p", "q"}) {
            w.key(key);
            w.value(text);
        }
        w.endObject();
        const QByteArray bytes = w.take();

        // An independent parser must accept what we wrote.
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.object().value(QStringLiteral("s")).toString(), expected);

        // And our reader must give back the same text.
        json::DecodeStatus status;
        json::JsonDocument parsed;
        json::od::object root;
        QVERIFY(parsed.open(bytes, status) && parsed.rootObject(root, status));
        json::ObjectReader in(root, status);
        QString back;
        in.required("s", back);
        // A text that repeats is read once and shared.
        json::TextPool pool;
        QString pooled;
        QString again;
        in.required("p", pooled, pool);
        in.optional("q", again, pool);
        QVERIFY2(status.ok(), qPrintable(status.error()));
        QCOMPARE(back, expected);
        QCOMPARE(pooled, expected);
        QCOMPARE(again.constData(), pooled.constData());
    }

    void numbersRoundTrip_data()
    {
        QTest::addColumn<double>("number");
        QTest::newRow("tenth") << 0.1;
        QTest::newRow("tiny") << 1e-300;
        QTest::newRow("date") << 786543210.123456;
        QTest::newRow("negative") << -4.5;
        QTest::newRow("integral") << 3.0;
    }

    void numbersRoundTrip()
    {
        QFETCH(double, number);
        json::JsonWriter w;
        w.beginArray();
        w.value(number);
        w.value(std::numeric_limits<qint64>::min());
        w.value(std::numeric_limits<qint64>::max());
        w.endArray();
        const QByteArray bytes = w.take();
        json::DecodeStatus status;
        json::JsonDocument parsed;
        json::od::array array;
        QVERIFY(parsed.open(bytes, status) && parsed.rootArray(array, status));
        double d = 0;
        qint64 lo = 0, hi = 0;
        auto it = array.begin();
        json::od::value value;
        QVERIFY(json::element(*it, value, status, {}, 0) && json::readNumber(value, d, status, {}));
        ++it;
        QVERIFY(json::element(*it, value, status, {}, 1) && json::readInteger(value, lo, status, {}));
        ++it;
        QVERIFY(json::element(*it, value, status, {}, 2) && json::readInteger(value, hi, status, {}));
        QVERIFY(parsed.finish(status));
        QCOMPARE(d, number);
        QCOMPARE(lo, std::numeric_limits<qint64>::min());
        QCOMPARE(hi, std::numeric_limits<qint64>::max());
    }

    void nonFiniteNumbersFailTheDocument()
    {
        json::JsonWriter w;
        w.beginArray();
        w.value(std::numeric_limits<double>::quiet_NaN());
        w.endArray();
        QVERIFY(w.failed());
        QVERIFY(w.take().isEmpty());
    }

    void nestedContainersSeparateMembers()
    {
        json::JsonWriter w;
        w.beginObject();
        w.key("a");
        w.beginArray();
        w.beginObject();
        w.endObject();
        w.value(qint64(1));
        w.beginArray();
        w.endArray();
        w.endArray();
        w.key("c");
        w.value(true);
        w.endObject();
        QCOMPARE(w.take(), QByteArray(R"({"a":[{},1,[]],"c":true})"));
    }

    // Files that people open in an editor: one member per line, empty containers stay closed.
    void indentedLayout()
    {
        json::JsonWriter w(64, json::JsonWriter::Layout::Indented);
        w.beginObject();
        w.key("a");
        w.beginArray();
        w.beginObject();
        w.endObject();
        w.value(qint64(1));
        w.endArray();
        w.key("b");
        w.value(QStringLiteral("x"));
        w.endObject();
        QCOMPARE(w.take(), QByteArray("{\n  \"a\": [\n    {},\n    1\n  ],\n  \"b\": \"x\"\n}"));
    }

    void strictReading_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("errorPath");

        QTest::newRow("all present") << QByteArray(R"({"s":"x","i":3,"d":2.5,"os":"y","oi":4,"od":1})")
                                     << true << "";
        QTest::newRow("optionals missing") << QByteArray(R"({"s":"x","i":3,"d":2})") << true << "";
        QTest::newRow("optionals null")
            << QByteArray(R"({"s":"x","i":3,"d":2,"os":null,"oi":null,"od":null})") << true << "";
        QTest::newRow("unknown keys ignored")
            << QByteArray(R"({"zz":[1],"s":"x","i":3,"d":2})") << true << "";
        QTest::newRow("integral double is an integer")
            << QByteArray(R"({"s":"x","i":3.0,"d":2})") << true << "";
        QTest::newRow("required missing") << QByteArray(R"({"s":"x","d":2})") << false << "i";
        QTest::newRow("required null") << QByteArray(R"({"s":"x","i":null,"d":2})") << false << "i";
        QTest::newRow("string for integer") << QByteArray(R"({"s":"x","i":"3","d":2})") << false << "i";
        QTest::newRow("fraction for integer") << QByteArray(R"({"s":"x","i":3.5,"d":2})") << false << "i";
        QTest::newRow("integer beyond 64 bits")
            << QByteArray(R"({"s":"x","i":18446744073709551615,"d":2})") << false << "i";
        QTest::newRow("number for string") << QByteArray(R"({"s":5,"i":3,"d":2})") << false << "s";
        QTest::newRow("bool for number") << QByteArray(R"({"s":"x","i":3,"d":true})") << false << "d";
        QTest::newRow("wrong type in optional")
            << QByteArray(R"({"s":"x","i":3,"d":2,"od":"4"})") << false << "od";
        QTest::newRow("not an object") << QByteArray(R"(["s"])") << false << "";
    }

    void strictReading()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, ok);
        QFETCH(QString, errorPath);
        json::DecodeStatus status;
        json::JsonDocument doc;
        json::od::object root;
        if (!doc.open(json, status) || !doc.rootObject(root, status)) {
            QVERIFY(!ok);
            return;
        }
        json::ObjectReader in(root, status);
        QString s;
        qint64 i = 0;
        double d = 0;
        std::optional<QString> os;
        std::optional<qint64> oi;
        std::optional<double> od;
        in.required("s", s);
        in.required("i", i);
        in.required("d", d);
        in.optional("os", os);
        in.optional("oi", oi);
        in.optional("od", od);
        doc.finish(status);
        QCOMPARE(status.ok(), ok);
        if (!ok && !errorPath.isEmpty())
            QVERIFY2(status.error().startsWith(errorPath + QLatin1Char(':')), qPrintable(status.error()));
    }

    void syntaxErrorsAreReported_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray(R"({"a":[1,2)");
        QTest::newRow("NaN literal") << QByteArray(R"({"a":NaN})");
        QTest::newRow("trailing garbage") << QByteArray(R"({"a":1} x)");
        QTest::newRow("unclosed string") << QByteArray("{\"a\":\"x}");
        QTest::newRow("missing value") << QByteArray(R"({"a":})");
        QTest::newRow("invalid UTF-8") << QByteArray("{\"a\":\"\xff\"}");
        QTest::newRow("bracket after a value, key asked out of order")
            << QByteArray("{\"b\":false[\":]}\",\"a\":1}");
    }

    void syntaxErrorsAreReported()
    {
        QFETCH(QByteArray, json);
        json::DecodeStatus status;
        json::JsonDocument doc;
        json::od::object root;
        if (doc.open(json, status) && doc.rootObject(root, status)) {
            json::ObjectReader in(root, status);
            std::optional<double> a;
            in.optional("a", a);
            doc.finish(status);
        }
        QVERIFY(!status.ok());
    }
};

LYRAFOLD_TEST_MAIN(JsonTest)
#include "tst_json.moc"
