#pragma once

#include "settings.h"

#include <QString>

class QCommandLineParser;

namespace kalinda {

// True for the code of one of the four profiles.
bool isProfileCode(const QString& code);

// The profile given with --profile, if it was, into `profile`; why it cannot be used, or "".
QString takeProfileOption(const QCommandLineParser& parser, QString& profile);

// Puts the server address and port of the profile with `code` ("1".."4") into the connection
// settings. An unknown code leaves the previous settings and gives false.
bool ApplyProfile(const QString& code, const EncodedSettings& stored = builtInSettings());

// The server of the profile with `code` as the connection names it ("host:port"); "" for an
// unknown code.
QString profileServer(const QString& code, const EncodedSettings& stored = builtInSettings());

// Applies the profile and opens the spare and the main connection, as choosing it on the
// connection form does. True when the main connection stands. For starts without that form.
bool ConnectProfile(const QString& code, const EncodedSettings& stored = builtInSettings());

} // namespace kalinda
