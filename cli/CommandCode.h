// The command's --code and --code-text: the run's code from the options, and the label that cannot
// carry it, in the command's words, before anything prints.
#pragma once
#include <QString>
#include <vector>

#include "cli/CommandOptions.h"
#include "print/PrintRules.h"
#include "services/ZintCodeWriter.h"

namespace kb::cli {

class CommandCode {
  public:
    // The writer lives as long as this object: keep it until the run is over.
    void apply(SheetJob& job, const Options& o);
    // Empty when every label of the run carries its code beside its text at this resolution.
    QString refusal(const SheetJob& job, const std::vector<SheetRange>& ranges, std::int32_t dpiX,
                    std::int32_t dpiY);

  private:
    ZintCodeWriter m_writer;
};

} // namespace kb::cli
