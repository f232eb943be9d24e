#pragma once
#include "config/ConfigDecode.h"

#include <QStringList>
#include <functional>

namespace zra::link {
class DeviceClient;
}

namespace zra::config {

// The configuration table's column titles, ConfigColumns of them.
const QStringList& ConfigColumnTitles();

// The warning of a read while the installation holds unsaved changes.
const QString& UnsavedChangesText();
// Reads the control register: true when the changes are saved. Unsaved
// changes go to warn (UnsavedChangesText); false then, and when the exchange
// failed (the link tells which).
bool ConfigSaved(link::DeviceClient& client, const std::function<void(const QString&)>& warn);

// Reads variables 1 to 500 in turn, each record with the first register of
// the next one, which tells whether that one exists (an absent one is not
// asked for; the console notes "Vynechat N"). Only the variables wanted asks
// for are read; read hears each number whose record arrived, decoded each
// variable that exists. False when an exchange failed.
bool ReadVariables(link::DeviceClient& client, const std::function<bool(int n)>& wanted,
                   const std::function<void(int n)>& read,
                   const std::function<void(const ConfigVariable& variable)>& decoded);

} // namespace zra::config
