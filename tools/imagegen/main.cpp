#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Picture
{
    QString name;
    QSize size;
    std::function<void(QPainter &, const QSizeF &)> draw;
};

template <typename Kind>
std::function<void(QPainter &, const QSizeF &)> variant(void (*draw)(QPainter &, const QSizeF &, Kind), Kind kind)
{
    return [draw, kind](QPainter &p, const QSizeF &size) { draw(p, size, kind); };
}

// Names and pixel sizes are fixed by the forms, which size their widgets to them.
std::vector<Picture> catalogue()
{
    return {
        {"shop.png", {1920, 1080}, drawStartPicture},
        {"control.jpg", {1920, 1080}, drawHomeBackground},
        {"devBg.png", {480, 480}, drawRoomBackground},
        {"return.png", {144, 144}, drawReturnButton},
        {"return1.png", {130, 130}, drawReturnButton},
        {"return_1.png", {50, 41}, variant(drawRemoteKey, RemoteKey::Back)},
        {"swon.png", {145, 73}, variant(drawToggleSwitch, SwitchLook::On)},
        {"swoff.png", {145, 73}, variant(drawToggleSwitch, SwitchLook::Off)},
        {"onoff.png", {73, 80}, variant(drawPowerGlyph, false)},
        {"onoff1.png", {73, 80}, variant(drawPowerGlyph, true)},
        {"ac1.png", {72, 80}, drawCoolMode},
        {"ac2.png", {81, 80}, drawHeatMode},
        {"ac3.png", {74, 80}, drawDryMode},
        {"ac4.png", {80, 62}, drawFanMode},
        {"ac5.png", {79, 63}, drawWindSpeed},
        {"condlogo.png", {159, 104}, variant(drawAirConditioner, Backdrop::Blue)},
        {"condlogo_s.png", {159, 104}, variant(drawAirConditioner, Backdrop::Panel)},
        {"tvlogo.png", {218, 173}, drawTelevision},
        {"tvlogo_s.png", {142, 113}, drawTelevision},
        {"lightlogo_s.png", {197, 221}, drawLightBulb},
        {"curtainlogo_s.png", {118, 122}, drawCurtainLogo},
        {"curtain1.png", {240, 255}, drawCurtainWindow},
        {"windlogo_s.png", {41, 50}, drawStandingFan},
        {"on.png", {100, 50}, variant(drawCurtainMove, CurtainMove::Open)},
        {"off.png", {100, 50}, variant(drawCurtainMove, CurtainMove::Close)},
        {"pause.png", {50, 50}, drawPauseGlyph},
        {"up.png", {32, 30}, variant(drawDirectionArrow, Direction::Up)},
        {"down.png", {30, 30}, variant(drawDirectionArrow, Direction::Down)},
        {"left.png", {30, 30}, variant(drawDirectionArrow, Direction::Left)},
        {"right.png", {30, 30}, variant(drawDirectionArrow, Direction::Right)},
        {"home.png", {50, 50}, variant(drawRemoteKey, RemoteKey::Home)},
        {"soundon.png", {73, 58}, drawVolume},
        {"bright.png", {73, 73}, drawBrightness},
        {"light_icon.png", {48, 48}, variant(drawDimmerKnob, 3)},
        {"weather.png", {90, 92}, drawWeatherSun},
        {"yangan_smalllogo.png", {40, 40}, variant(drawAlarmBadge, Alarm::Smoke)},
        {"keranqiti.png", {40, 40}, variant(drawAlarmBadge, Alarm::Gas)},
        {"co2.png", {40, 40}, variant(drawAlarmBadge, Alarm::CarbonDioxide)},
        {"hit.png", {40, 40}, variant(drawAlarmBadge, Alarm::Temperature)},
        {"loudian.png", {40, 40}, variant(drawAlarmBadge, Alarm::Leakage)},
        {"tttmp.png", {140, 140}, drawRoomController},
        {"add.png", {260, 260}, drawAddButton},
        {"light_icon1.png", {40, 40}, variant(drawDimmerKnob, 1)},
        {"light_icon2.png", {48, 48}, variant(drawDimmerKnob, 2)},
        {"light_icon3.png", {48, 48}, variant(drawDimmerKnob, 3)},
        {"light_icon4.png", {48, 48}, variant(drawDimmerKnob, 4)},
        {"light_icon5.png", {48, 48}, variant(drawDimmerKnob, 5)},
        {"swoff_0.png", {145, 73}, variant(drawToggleSwitch, SwitchLook::OffDimmed)},
    };
}

bool isJpeg(const QString &name)
{
    return name.endsWith(QLatin1String(".jpg"));
}

bool isOpaque(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return false;
        }
    }
    return true;
}

bool render(const Picture &picture, const QDir &folder)
{
    QImage image(picture.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        picture.draw(painter, QSizeF(picture.size));
    }
    // Backgrounds go out without an alpha channel: smaller, and opaque by construction.
    if (isOpaque(image))
        image = image.convertToFormat(QImage::Format_RGB32);
    const QString path = folder.filePath(picture.name);
    const bool saved = isJpeg(picture.name) ? image.save(path, "JPEG", 92) : image.save(path, "PNG");
    if (!saved)
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(path));
    return saved;
}

// The collection lists exactly what was drawn, so the two cannot drift apart.
bool writeCollection(const std::vector<Picture> &pictures, const QDir &folder)
{
    QFile file(folder.filePath(QStringLiteral("res.qrc")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    QTextStream out(&file);
    out << "<RCC>\n    <qresource prefix=\"/\">\n";
    for (const Picture &picture : pictures)
        out << "        <file>" << picture.name << "</file>\n";
    out << "    </qresource>\n</RCC>\n";
    return out.status() == QTextStream::Ok;
}

} // namespace

int main(int argc, char **argv)
{
    // Text rendering needs a GUI application; the offscreen platform is enough.
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: imagegen <output folder>\n");
        return 2;
    }
    QDir folder(arguments.at(1));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "imagegen: cannot create %s\n", qPrintable(arguments.at(1)));
        return 1;
    }

    const std::vector<Picture> pictures = catalogue();
    int failures = 0;
    for (const Picture &picture : pictures)
        failures += render(picture, folder) ? 0 : 1;
    if (!writeCollection(pictures, folder))
        ++failures;
    std::printf("imagegen: %d pictures in %s\n", int(pictures.size()) - failures, qPrintable(folder.absolutePath()));
    return failures == 0 ? 0 : 1;
}
