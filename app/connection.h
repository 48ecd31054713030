#pragma once

#include "db.h"
#include "settings.h"

namespace kalinda {

// The settings of the chosen profile, decoded just before use.
struct ConnectionSettings {
    QString ServerAddress;
    QString ServerPort;
    QString DbUser;
    QString DbPassword;
    QString DbName;
    QString ProfileCode; // the profile the settings came from ("1".."4")
    // How long one statement may keep the connection waiting; long jobs (the report) raise it.
    int ReadTimeoutSeconds = ConnectParams{}.readTimeoutSeconds;
};

ConnectionSettings& connectionSettings();

// What OpenConnection connects with: the current profile's server and the stored user,
// password and database decoded from `stored` (also into the connection settings).
ConnectParams settingsParams(const EncodedSettings& stored = builtInSettings());

// The process-wide connections. DbConn carries every statement; DbConnSpare is opened with the
// same settings just before it and carries none.
Connection& DbConn();
Connection& DbConnSpare();

// Replace the process-wide connection object with a new one and connect it with the current
// settings (the stored user, password and database decoded from `stored`). A failure shows the
// connection warning once and never reaches the caller.
void OpenConnection(const EncodedSettings& stored = builtInSettings());
void OpenSpareConnection(const EncodedSettings& stored = builtInSettings());

} // namespace kalinda
