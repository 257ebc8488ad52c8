// The command's arguments on POSIX systems: argv in the locale's encoding, every character kept.
#include "cli/CommandLine.h"

#include <QStringDecoder>

namespace kb::cli {

QStringList commandArguments(int argc, char** argv) {
    QStringDecoder decoder(QStringConverter::System,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << decoder.decode(QByteArrayView(argv[i]));
    return args;
}

} // namespace kb::cli
