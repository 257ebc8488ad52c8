// The command's arguments on POSIX systems: argv in the locale's encoding, every character kept.
#include "cli/CommandLine.h"

#include <QStringDecoder>

namespace kb::cli {

QStringList commandArguments(int argc, char** argv, QStringList* undecodable) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        // A decoder of its own for each argument: its error state tells about this argument alone.
        QStringDecoder decoder(QStringConverter::System,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        args << decoder.decode(QByteArrayView(argv[i]));
        if (decoder.hasError() && undecodable)
            *undecodable << args.back();
    }
    return args;
}

} // namespace kb::cli
