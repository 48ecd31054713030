#pragma once

#include "db.h"
#include "settings.h"

#include <QStringList>

namespace kalinda {

// The profiles the kiosk may move to by itself when its server is gone: the set_app value
// FailoverProfiles, codes of profiles 2 to 4 in the order to try ("2,3,4"). Other codes and
// repeats are ignored; absent or empty means off, and the kiosk stays on its profile.
QStringList failoverProfiles(const QString& setting);

// Connects `db` again, in place, to the first profile of `profiles` after `current` (in the
// list's order and round it, `current` itself last) whose server answers. Sets the connection
// settings to that profile and returns its code; returns "" when none answered, leaving `db`
// unconnected. Shows nothing: the caller says where the kiosk is now.
QString failOver(Connection& db, const QString& current, const QStringList& profiles,
                 const EncodedSettings& stored = builtInSettings());

} // namespace kalinda
