// Decoding of .cur files: hand-built cursors of each depth, damaged files,
// and the cursors of the Res folder against ImageMagick's reading of them.
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <functional>

#include "app/cursor_file.h"

namespace {
void Put16(QByteArray& b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
void Put32(QByteArray& b, uint32_t v)
{
    Put16(b, int(v & 0xFFFF));
    Put16(b, int(v >> 16));
}

// A one-image cursor file. colour(x, y) gives the stored sample for top-down
// row y: a palette index for 1 bit, 0xAARRGGBB for 24 and 32 bits; mask(x, y)
// true means transparent.
QByteArray MakeCursor(int w, int h, int bits, int hotX, int hotY, const std::function<uint32_t(int, int)>& colour,
                      const std::function<bool(int, int)>& mask, bool withMask = true)
{
    QByteArray image;
    Put32(image, 40);
    Put32(image, uint32_t(w));
    Put32(image, uint32_t(2 * h));
    Put16(image, 1);
    Put16(image, bits);
    for (int k = 0; k < 6; ++k)
        Put32(image, 0);
    if (bits == 1) {
        Put32(image, 0x00000000);  // black
        Put32(image, 0x00FFFFFF);  // white
    }
    const int xorStride = ((w * bits + 31) / 32) * 4;
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(xorStride, '\0');
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            if (bits == 1) {
                if (c)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            } else {
                const int n = bits / 8;
                for (int k = 0; k < n; ++k)
                    row[x * n + k] = char((c >> (8 * k)) & 0xFF);
            }
        }
        image += row;
    }
    if (withMask) {
        const int andStride = ((w + 31) / 32) * 4;
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row(andStride, '\0');
            for (int x = 0; x < w; ++x)
                if (mask(x, y))
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            image += row;
        }
    }
    QByteArray file;
    Put16(file, 0);
    Put16(file, 2);
    Put16(file, 1);
    file.append(char(w));
    file.append(char(h));
    file.append(char(0));
    file.append(char(0));
    Put16(file, hotX);
    Put16(file, hotY);
    Put32(file, uint32_t(image.size()));
    Put32(file, 22);
    return file + image;
}

// Top-left quarter transparent, white on a diagonal, black elsewhere.
QByteArray Monochrome()
{
    return MakeCursor(
        10, 6, 1, 3, 1, [](int x, int y) { return x == y ? 1u : 0u; }, [](int x, int y) { return x < 3 && y < 2; });
}
}  // namespace

class TestCursorFile : public QObject {
    Q_OBJECT

private slots:
    void decodesMonochromeWithMaskAndHotSpot()
    {
        const auto picture = DecodeCursorFile(Monochrome());
        QVERIFY(picture);
        QCOMPARE(picture->Image.size(), QSize(10, 6));
        QCOMPARE(picture->HotSpot, QPoint(3, 1));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x) {
                const QRgb p = picture->Image.pixel(x, y);
                if (x < 3 && y < 2 && x != y) {
                    QCOMPARE(qAlpha(p), 0);
                } else if (x == y) {
                    // Masked white would be an inversion; drawn black.
                    QCOMPARE(p, x < 2 ? qRgba(0, 0, 0, 255) : qRgba(255, 255, 255, 255));
                } else {
                    QCOMPARE(p, qRgba(0, 0, 0, 255));
                }
            }
    }

    void decodesTrueColourDepths()
    {
        const auto colour = [](int x, int y) { return 0x80000000u | uint32_t(x * 20) << 16 | uint32_t(y * 30) << 8 | 7u; };
        const auto noMask = [](int, int) { return false; };
        const auto with32 = DecodeCursorFile(MakeCursor(5, 4, 32, 4, 3, colour, noMask));
        QVERIFY(with32);
        QCOMPARE(with32->Image.pixel(2, 3), qRgba(40, 90, 7, 0x80));
        QCOMPARE(with32->HotSpot, QPoint(4, 3));
        // 32 bits without any alpha: the mask decides.
        const auto opaque = [](int x, int) { return uint32_t(x) << 16; };
        const auto old32 = DecodeCursorFile(MakeCursor(5, 4, 32, 0, 0, opaque, [](int x, int) { return x == 1; }));
        QVERIFY(old32);
        QCOMPARE(qAlpha(old32->Image.pixel(1, 2)), 0);
        QCOMPARE(old32->Image.pixel(3, 2), qRgba(3, 0, 0, 255));
        // Masked: black shows the screen, any other colour inverts it (drawn black).
        const auto colourOrBlack = [&](int x, int y) { return x == 0 ? 0u : colour(x, y); };
        const auto with24 = DecodeCursorFile(
            MakeCursor(3, 2, 24, 1, 1, colourOrBlack, [](int x, int y) { return y == 0 && x < 2; }));
        QVERIFY(with24);
        QCOMPARE(with24->Image.pixel(2, 1), qRgba(40, 30, 7, 255));
        QCOMPARE(with24->Image.pixel(2, 0), qRgba(40, 0, 7, 255));
        QCOMPARE(qAlpha(with24->Image.pixel(0, 0)), 0);
        QCOMPARE(with24->Image.pixel(1, 0), qRgba(0, 0, 0, 255));
        QCOMPARE(with24->Image.pixel(0, 1), qRgba(0, 0, 0, 255));
        // A hotspot outside the picture is kept inside it.
        const auto outside = DecodeCursorFile(MakeCursor(4, 4, 24, 90, 2, colour, noMask));
        QVERIFY(outside);
        QCOMPARE(outside->HotSpot, QPoint(3, 2));
    }

    void damagedFilesAreRefused()
    {
        const QByteArray good = Monochrome();
        for (int n = 0; n < good.size(); ++n)
            QVERIFY2(!DecodeCursorFile(good.left(n)), qPrintable(QString::number(n)));

        auto patched = [&](int at, std::initializer_list<int> bytes) {
            QByteArray b = good;
            int k = at;
            for (int v : bytes)
                b[k++] = char(v);
            return b;
        };
        QVERIFY(!DecodeCursorFile(patched(2, {1, 0})));                   // an icon, not a cursor
        QVERIFY(!DecodeCursorFile(patched(4, {0, 0})));                   // no images
        QVERIFY(!DecodeCursorFile(patched(18, {0xFF, 0xFF, 0xFF, 0x7F})));  // offset past the end
        QVERIFY(!DecodeCursorFile(patched(14, {0xFF, 0xFF, 0xFF, 0xFF})));  // size past the end
        QVERIFY(!DecodeCursorFile(patched(22 + 4, {0, 0, 0, 0})));        // width 0
        QVERIFY(!DecodeCursorFile(patched(22 + 4, {0xA0, 0x86, 0x01, 0})));  // width 100000
        QVERIFY(!DecodeCursorFile(patched(22 + 8, {0xFF, 0xFF, 0xFF, 0xFF})));  // negative height
        QVERIFY(!DecodeCursorFile(patched(22 + 14, {16, 0})));            // 16 bits
        QVERIFY(!DecodeCursorFile(patched(22 + 16, {1, 0, 0, 0})));       // compressed
        QVERIFY(!DecodeCursorFile(patched(22, {0xFF, 0xFF, 0, 0})));      // header larger than the data
        // Palette count beyond the depth is capped, not trusted.
        QVERIFY(DecodeCursorFile(patched(22 + 32, {0xFF, 0xFF, 0xFF, 0xFF})));

        QCursor cursor(Qt::CrossCursor);
        QVERIFY(!LoadCursorFile(QStringLiteral("/nonexistent/none.cur"), cursor));
        QCOMPARE(cursor.shape(), Qt::CrossCursor);
    }

    void resCursorsMatchImageMagick()
    {
        const QString res = QCoreApplication::applicationDirPath() + "/Res/";
        const QString convert = QStandardPaths::findExecutable("convert");
        for (const char* name : {"rect.cur", "ArrL.cur", "ArrR.cur", "ArrT.cur", "ArrB.cur", "ZooI.cur", "ZooO.cur",
                                 "Hand.cur"}) {
            QFile file(res + name);
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            const auto picture = DecodeCursorFile(file.readAll());
            QVERIFY2(picture, name);
            QCOMPARE(picture->Image.size(), QSize(32, 32));
            QVERIFY(QRect(0, 0, 32, 32).contains(picture->HotSpot));
            int opaque = 0;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    opaque += qAlpha(picture->Image.pixel(x, y)) == 255;
            QVERIFY2(opaque > 40 && opaque < 900, name);
            if (convert.isEmpty())
                continue;
            QProcess p;
            p.start(convert, {res + name, "-depth", "8", "rgba:-"});
            QVERIFY(p.waitForFinished(30000));
            const QByteArray rgba = p.readAllStandardOutput();
            QCOMPARE(rgba.size(), 32 * 32 * 4);
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    const auto* q = reinterpret_cast<const uchar*>(rgba.constData()) + 4 * (32 * y + x);
                    const QRgb mine = picture->Image.pixel(x, y);
                    QCOMPARE(qAlpha(mine), int(q[3]));
                    if (q[3])
                        QCOMPARE(mine & 0xFFFFFF, qRgb(q[0], q[1], q[2]) & 0xFFFFFF);
                }
        }
        if (convert.isEmpty())
            QSKIP("ImageMagick convert not found: decoded without the cross-check");
    }
};

QTEST_MAIN(TestCursorFile)
#include "tst_cursor_file.moc"
