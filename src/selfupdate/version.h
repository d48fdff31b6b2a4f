#pragma once

#include <QString>

#include <optional>

namespace Core {
struct Config;
}

namespace SelfUpdate {

// The version of this build, "3.6"; the window caption reads "Quorvexv" + it.
QString programVersion();

// A version as the server publishes it and the record keeps it: a numeric text (after
// trimming spaces) becomes its value with exactly one decimal, rounded half away from
// zero ("3.60" gives "3.6", "4" gives "4.0"); anything else gives nullopt.
std::optional<QString> normaliseVersion(const QString &text);

// The maker's files on its primary host.
QString publishedVersionAddress(const Core::Config &config);   // s_ver.txt, the published version
QString updaterPackageAddress(const Core::Config &config);     // update.jpg, the update program
QString mainProgramPackageAddress(const Core::Config &config); // venlo.jpg, the new main program

} // namespace SelfUpdate
