// The command's --code and --code-text: the run's code from the options, and the label that cannot
// carry it, in the command's words, before anything prints.
#pragma once
#include <QString>
#include <vector>

#include "cli/CommandOptions.h"
#include "print/PrintRules.h"
#include "services/CodeCheck.h"
#include "services/ZintCodeWriter.h"

namespace kb::cli {

class CommandCode {
  public:
    // The run's code; the writer lives as long as this object: keep it until the run is over.
    LabelCode code(const Options& o) { return {o.code, o.codeText, &m_writer}; }
    // The label that cannot carry it, in the command's words.
    static QString refusal(CodeKind kind, const LabelCodeRefusal& found, std::int32_t dpiX);

  private:
    ZintCodeWriter m_writer;
};

} // namespace kb::cli
