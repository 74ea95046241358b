// The bash completion of a program, made from its option table at build
// time, so that it never offers an option the program lacks or misses one.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/command_line/command_line.h"

namespace qm::cli {

// A script for bash-completion's folder: the options after "-", folder
// names after an option that takes a folder, file names after one that
// takes a file, the choices of one that has them; "--" ends the options.
std::string bashCompletion(std::string_view program, std::span<const OptionSpec> table);

}  // namespace qm::cli
