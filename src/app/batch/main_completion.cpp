// Writes quillmarsh-batch's bash completion to standard output; the build
// runs it, so that the completion is made from the very option table.
#include <iostream>

#include "app/batch/options.h"
#include "app/command_line/bash_completion.h"

int main() {
    std::cout << qm::cli::bashCompletion("quillmarsh-batch", qm::batch::optionTable());
    return std::cout.good() ? 0 : 1;
}
