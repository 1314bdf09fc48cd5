#pragma once

#include "settings/IniFile.h"

#include <QStringList>

#include <optional>

// "Tools": what the text tools keep between runs, shared by the window and
// the command line.
namespace settings {

// "Tools"/"AdPatterns" (their number) and "Ad1", "Ad2", ...: the regular
// expressions of the advertisement removal. nullopt when none were ever
// stored (the shipped list applies); an empty list when the user removed all.
std::optional<QStringList> readAdPatterns(const TIniFile& ini);
void writeAdPatterns(TIniFile& ini, const QStringList& patterns);

} // namespace settings
