#include "appliancefixture.h"

#include "messagelog.h"
#include "paneltest.h"

#include "bus/devicetables.h"
#include "screens/appliances/aircond.h"
#include "screens/appliances/curtain.h"
#include "screens/appliances/light1.h"
#include "screens/appliances/tv.h"
#include "screens/appliances/wind.h"
#include "screens/devices.h"

#include <QTest>

namespace {
struct ScreenType
{
    const char *className;
    bool (*exists)();
    QWidget *(*instance)();
};

template <typename Screen>
ScreenType screenType(const char *className)
{
    return {className, &Screen::ifInstance, [] { return static_cast<QWidget *>(Screen::getInstance()); }};
}

const ScreenType screenTypes[] = {
    screenType<Aircond>("Aircond"), screenType<Curtain>("Curtain"), screenType<Light1>("Light1"),
    screenType<Tv>("Tv"),           screenType<Wind>("Wind"),
};

const ScreenType *typeOf(const QString &className)
{
    for (const ScreenType &type : screenTypes) {
        if (className == QLatin1String(type.className))
            return &type;
    }
    return nullptr;
}
} // namespace

bool ApplianceFixture::start()
{
    PanelTest::prepareApplication();
    MessageLog::install();
    return buses.openMainWindow();
}

void ApplianceFixture::reset()
{
    resetDeviceTables();
    select(-1, -1);
    buses.discardPending();
    MessageLog::clear();
}

QWidget *ApplianceFixture::screen(const QString &className)
{
    const ScreenType *type = typeOf(className);
    return type ? type->instance() : nullptr;
}

bool ApplianceFixture::exists(const QString &className)
{
    const ScreenType *type = typeOf(className);
    return type && type->exists();
}

bool ApplianceFixture::show(QWidget *screen)
{
    screen->show();
    return QTest::qWaitForWindowExposed(screen);
}

void ApplianceFixture::select(int index, int tongdao)
{
    Devices::getInstance(index, tongdao, true);
}

QByteArray ApplianceFixture::switchFrame(int index, int code, bool on)
{
    const char bytes[] = {char(0xAA), char(index), char(code), char(on ? 1 : 2), 0, 0, char(0xFF)};
    return QByteArray(bytes, sizeof bytes);
}

QByteArray ApplianceFixture::tablesWith(int tongdao, int index, int fieldOffset, unsigned char value)
{
    QByteArray tables = deviceTablesSnapshot();
    tables[int(sizeof(SmallDevInfo)) * (tongdao * DevicesPerChannel + index) + fieldOffset] = char(value);
    return tables;
}
