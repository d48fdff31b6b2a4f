#pragma once

#include <QStringList>
#include <QTextStream>

namespace Cli {

// Exit statuses of quorvex-cli.
enum ExitStatus { Success = 0, Failures = 1, NothingDone = 2 };

// Runs one command line (arguments without the program name). Output goes to
// out, messages and progress to err, so tests can run it into buffers.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace Cli
