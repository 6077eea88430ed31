#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QtTest>

#include <vector>

namespace {

// What lies under a picture's corners: the screens' panels show through the icons, while the
// backgrounds are drawn over black or dark frames and must cover them.
enum class Corners { Transparent, Opaque };

struct Picture
{
    const char *name;
    const char *format;
    QSize size;
    Corners corners;
};

// Names, formats and sizes are what the forms were laid out for.
const std::vector<Picture> &pictures()
{
    static const std::vector<Picture> all{
        {"shop.png", "png", {1920, 1080}, Corners::Opaque},
        {"control.jpg", "jpeg", {1920, 1080}, Corners::Opaque},
        {"devBg.png", "png", {480, 480}, Corners::Opaque},
        {"return.png", "png", {144, 144}, Corners::Transparent},
        {"return1.png", "png", {130, 130}, Corners::Transparent},
        {"return_1.png", "png", {50, 41}, Corners::Transparent},
        {"swon.png", "png", {145, 73}, Corners::Transparent},
        {"swoff.png", "png", {145, 73}, Corners::Transparent},
        {"onoff.png", "png", {73, 80}, Corners::Transparent},
        {"onoff1.png", "png", {73, 80}, Corners::Transparent},
        {"ac1.png", "png", {72, 80}, Corners::Transparent},
        {"ac2.png", "png", {81, 80}, Corners::Transparent},
        {"ac3.png", "png", {74, 80}, Corners::Transparent},
        {"ac4.png", "png", {80, 62}, Corners::Transparent},
        {"ac5.png", "png", {79, 63}, Corners::Transparent},
        {"condlogo.png", "png", {159, 104}, Corners::Transparent},
        {"condlogo_s.png", "png", {159, 104}, Corners::Transparent},
        {"tvlogo.png", "png", {218, 173}, Corners::Transparent},
        {"tvlogo_s.png", "png", {142, 113}, Corners::Transparent},
        {"lightlogo_s.png", "png", {197, 221}, Corners::Transparent},
        {"curtainlogo_s.png", "png", {118, 122}, Corners::Transparent},
        {"curtain1.png", "png", {240, 255}, Corners::Transparent},
        {"windlogo_s.png", "png", {41, 50}, Corners::Transparent},
        {"on.png", "png", {100, 50}, Corners::Transparent},
        {"off.png", "png", {100, 50}, Corners::Transparent},
        {"pause.png", "png", {50, 50}, Corners::Transparent},
        {"up.png", "png", {32, 30}, Corners::Transparent},
        {"down.png", "png", {30, 30}, Corners::Transparent},
        {"left.png", "png", {30, 30}, Corners::Transparent},
        {"right.png", "png", {30, 30}, Corners::Transparent},
        {"home.png", "png", {50, 50}, Corners::Transparent},
        {"soundon.png", "png", {73, 58}, Corners::Transparent},
        {"bright.png", "png", {73, 73}, Corners::Transparent},
        {"light_icon.png", "png", {48, 48}, Corners::Transparent},
        {"weather.png", "png", {90, 92}, Corners::Transparent},
        {"yangan_smalllogo.png", "png", {40, 40}, Corners::Transparent},
        {"keranqiti.png", "png", {40, 40}, Corners::Transparent},
        {"co2.png", "png", {40, 40}, Corners::Transparent},
        {"hit.png", "png", {40, 40}, Corners::Transparent},
        {"loudian.png", "png", {40, 40}, Corners::Transparent},
        {"tttmp.png", "png", {140, 140}, Corners::Transparent},
        {"add.png", "png", {260, 260}, Corners::Transparent},
        {"light_icon1.png", "png", {40, 40}, Corners::Transparent},
        {"light_icon2.png", "png", {48, 48}, Corners::Transparent},
        {"light_icon3.png", "png", {48, 48}, Corners::Transparent},
        {"light_icon4.png", "png", {48, 48}, Corners::Transparent},
        {"light_icon5.png", "png", {48, 48}, Corners::Transparent},
        {"swoff_0.png", "png", {145, 73}, Corners::Transparent},
    };
    return all;
}

QVector<int> cornerAlphas(const QImage &image)
{
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    return {qAlpha(image.pixel(0, 0)), qAlpha(image.pixel(right, 0)), qAlpha(image.pixel(0, bottom)),
            qAlpha(image.pixel(right, bottom))};
}

} // namespace

Q_DECLARE_METATYPE(Corners)

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void pictureIsCompiledInAsLaidOut_data();
    void pictureIsCompiledInAsLaidOut();
    void rootHoldsOnlyThePictures();
    void fontFamilyIsInstalled_data();
    void fontFamilyIsInstalled();
};

void TestResources::pictureIsCompiledInAsLaidOut_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<Corners>("corners");
    for (const Picture &picture : pictures()) {
        QTest::newRow(picture.name) << QStringLiteral(":/") + QLatin1String(picture.name) << QByteArray(picture.format)
                                    << picture.size << picture.corners;
    }
}

void TestResources::pictureIsCompiledInAsLaidOut()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QFETCH(Corners, corners);

    const QResource resource(path);
    QVERIFY2(resource.isValid(), qPrintable(path));
    // Stored as is: the images are compressed already, and the panel maps them straight.
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);

    QImageReader reader(path);
    // The content decides, not the name: a PNG saved as .jpg would still load but is wrong.
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), size);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);

    const QVector<int> alphas = cornerAlphas(image.convertToFormat(QImage::Format_ARGB32));
    const int expected = corners == Corners::Opaque ? 255 : 0;
    QCOMPARE(alphas, QVector<int>(4, expected));
}

void TestResources::rootHoldsOnlyThePictures()
{
    QSet<QString> found;
    const QStringList entries = QDir(QStringLiteral(":/"))
                                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        found.insert(entry);
    // Folders that Qt's own libraries register at the root (Qt Gui 5.15: the last two).
    for (const char *qtFolder : {"qt-project.org", "qpdf", "qgradient"})
        found.remove(QLatin1String(qtFolder));

    QSet<QString> expected;
    for (const Picture &picture : pictures())
        expected.insert(QLatin1String(picture.name));

    const QStringList extra = QSet<QString>(found).subtract(expected).values();
    const QStringList missing = QSet<QString>(expected).subtract(found).values();
    QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("unexpected: ") + extra.join(QLatin1Char(' '))));
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("missing: ") + missing.join(QLatin1Char(' '))));
}

void TestResources::fontFamilyIsInstalled_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("carriesChinese");
    QTest::newRow("kai") << QStringLiteral("AR PL UKai CN") << true;
    QTest::newRow("ming") << QStringLiteral("AR PL UMing CN") << true;
    QTest::newRow("sans") << QStringLiteral("DejaVu Sans") << false;
}

void TestResources::fontFamilyIsInstalled()
{
    QFETCH(QString, family);
    QFETCH(bool, carriesChinese);

    const QFontDatabase database;
    QVERIFY2(database.families().contains(family), qPrintable(family));
    // A font the forms name must be the one drawn, not a substitute.
    QCOMPARE(QFontInfo(QFont(family)).family(), family);
    if (carriesChinese)
        QVERIFY(database.writingSystems(family).contains(QFontDatabase::SimplifiedChinese));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
