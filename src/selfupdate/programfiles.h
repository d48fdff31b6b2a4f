#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace Core {
class HttpClient;
}

namespace SelfUpdate {

// The programs of an installation, named as the platform names executables.
enum class ProgramFile {
    Main,         // "Quorvex.exe" / "Quorvex"
    Updater,      // "update.exe" / "update"
    DownloadCopy, // "bak.exe" / "bak": the update program's copy of the new main program
};
QString programFileName(ProgramFile file);

enum class ExecutableFormat { None, Elf, Pe, MachO };

// The executable format the bytes hold. ELF and PE files count only when every table and
// section their headers point to lies within the bytes, so a program cut short anywhere
// past its first headers is no program.
ExecutableFormat executableFormat(const QByteArray &bytes);
// PE on Windows, Mach-O on macOS, ELF elsewhere.
ExecutableFormat platformExecutableFormat();

// A downloaded program, ready to install when reason is empty.
struct ProgramDownload
{
    QByteArray program;
    QString reason; // why it can't be installed, in words a user understands
    bool cancelled = false;

    bool succeeded() const { return reason.isEmpty(); }
};

// GET of a program (long wait, the program size cap). Refused: a reply that did not fully
// arrive, one with an error status, an empty body and a body that is not an executable
// of this platform (an error page sent with status 200, for one).
ProgramDownload downloadProgram(Core::HttpClient &client, const QString &address);

// How long a program file that can't be replaced yet is tried again: Windows keeps an
// executable locked for a moment after its process ended.
constexpr std::chrono::milliseconds replacePatience{5000};

// Writes the program to target through a temporary file beside it that is renamed over
// target, with execute permission: afterwards target either holds the whole program or
// is exactly as it was, and no temporary file stays behind. A target file that can't be
// replaced is tried again until patience runs out.
bool installProgram(const QByteArray &program, const QString &target, QString *error = nullptr,
                    std::chrono::milliseconds patience = replacePatience);

} // namespace SelfUpdate
