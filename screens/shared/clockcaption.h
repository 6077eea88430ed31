#pragma once

class QDateTime;
class QString;

// "2026年12月7日 09:05:03": date without leading zeros, time with two digits each.
QString clockCaption(const QDateTime &moment);
