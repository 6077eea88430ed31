#pragma once

class QPainter;
class QSizeF;

// Every function draws one picture, or one family of pictures, filling an image of the given
// size. Images start transparent; the backgrounds cover them completely.

// Full-screen backgrounds (opaque).
void drawStartPicture(QPainter &p, const QSizeF &size);
void drawHomeBackground(QPainter &p, const QSizeF &size);
void drawRoomBackground(QPainter &p, const QSizeF &size);

// Buttons and slider parts.
enum class SwitchLook { On, Off, OffDimmed };
enum class Direction { Up, Down, Left, Right };
enum class RemoteKey { Home, Back };
enum class CurtainMove { Open, Close };

void drawReturnButton(QPainter &p, const QSizeF &size);
void drawToggleSwitch(QPainter &p, const QSizeF &size, SwitchLook look);
void drawPowerGlyph(QPainter &p, const QSizeF &size, bool on);
void drawDirectionArrow(QPainter &p, const QSizeF &size, Direction direction);
void drawRemoteKey(QPainter &p, const QSizeF &size, RemoteKey key);
void drawCurtainMove(QPainter &p, const QSizeF &size, CurtainMove move);
void drawPauseGlyph(QPainter &p, const QSizeF &size);
void drawDimmerKnob(QPainter &p, const QSizeF &size, int glow);
void drawAddButton(QPainter &p, const QSizeF &size);

// Symbols drawn light on the blue buttons and panels.
void drawCoolMode(QPainter &p, const QSizeF &size);
void drawHeatMode(QPainter &p, const QSizeF &size);
void drawDryMode(QPainter &p, const QSizeF &size);
void drawFanMode(QPainter &p, const QSizeF &size);
void drawWindSpeed(QPainter &p, const QSizeF &size);
void drawVolume(QPainter &p, const QSizeF &size);
void drawBrightness(QPainter &p, const QSizeF &size);
void drawWeatherSun(QPainter &p, const QSizeF &size);

// Appliances. Backdrop is what the picture lies on, which decides the colour of its details.
enum class Backdrop { Blue, Panel };

void drawAirConditioner(QPainter &p, const QSizeF &size, Backdrop backdrop);
void drawTelevision(QPainter &p, const QSizeF &size);
void drawLightBulb(QPainter &p, const QSizeF &size);
void drawCurtainLogo(QPainter &p, const QSizeF &size);
void drawCurtainWindow(QPainter &p, const QSizeF &size);
void drawStandingFan(QPainter &p, const QSizeF &size);
void drawRoomController(QPainter &p, const QSizeF &size);

// Alarm icons, in the order of the alarm bits 0x80 to 0x08.
enum class Alarm { Smoke, Gas, CarbonDioxide, Temperature, Leakage };

void drawAlarmBadge(QPainter &p, const QSizeF &size, Alarm alarm);
