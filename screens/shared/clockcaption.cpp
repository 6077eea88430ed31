#include "screens/shared/clockcaption.h"

#include <QDateTime>
#include <QString>

QString clockCaption(const QDateTime &moment)
{
    const QDate date = moment.date();
    return QStringLiteral("%1年%2月%3日 %4")
        .arg(date.year())
        .arg(date.month())
        .arg(date.day())
        .arg(moment.time().toString(QStringLiteral("hh:mm:ss")));
}
