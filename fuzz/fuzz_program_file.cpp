// A downloaded program (update.jpg, venlo.jpg): the executable format its headers tell, and
// whether every table they point to lies within the bytes.

#include "fuzzinput.h"

#include "selfupdate/programfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::inputBytes(data, size);
    const SelfUpdate::ExecutableFormat format = SelfUpdate::executableFormat(bytes);
    // Bytes added after a program leave it a program: nothing a header points to goes missing.
    if (format != SelfUpdate::ExecutableFormat::None)
        Fuzz::check(SelfUpdate::executableFormat(bytes + QByteArray(64, '\0')) == format,
                    "a program is no longer one with bytes after it");
    return 0;
}
