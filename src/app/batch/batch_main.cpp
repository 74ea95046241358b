#include "app/batch/batch_main.h"

#include "app/batch/batch_run.h"
#include "app/batch/options.h"
#include "app/version.h"
#include "text/utf.h"

namespace qm::batch {

int batchMain(const std::vector<std::string>& args, System& system, std::ostream& out, std::ostream& err,
              bool showProgress, const std::atomic<int>* stop) {
    ParseResult parsed = parseOptions(args);
    if (parsed.options.help) {
        out << helpText();
        return kAllTransferred;
    }
    if (parsed.options.version) {
        out << versionText("quillmarsh-batch");
        return kAllTransferred;
    }
    if (!parsed.error.empty()) {
        // The error may quote an argument: shown as a terminal can safely take it.
        // As GNU's programs do, the line after it says where the usage is.
        err << kProgramName << ": " << text::printable(text::fromUtf8(parsed.error)) << "\n（" << kProgramName
            << " --help 显示用法）\n";
        return kCouldNotStart;
    }
    return runBatch(parsed.options, system, out, err, showProgress, stop);
}

}  // namespace qm::batch
