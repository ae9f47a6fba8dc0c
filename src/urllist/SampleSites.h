#pragma once

#include <QString>

// The two built-in sample addresses.
namespace SampleSites {

inline const QString FirstHost = QStringLiteral("www.msn.com");
inline const QString SecondHost = QStringLiteral("www.yahoo.com");
inline const QString First = QStringLiteral("http://") + FirstHost + QStringLiteral("/");
inline const QString Second = QStringLiteral("http://") + SecondHost + QStringLiteral("/");

} // namespace SampleSites
