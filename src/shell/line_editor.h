#pragma once
// Line editing at the console: where the platform has it and both standard
// input and standard output are terminals, the command prompt and the
// questions get an editable line, the prompt with the history of earlier
// runs and completion of command words and file names.

#include <cstdio>
#include <memory>

#include "core/console.h"
#include "core/output.h"

namespace zuv {

// The editing console on in and out, or nullptr where there is none (not a
// terminal, or a platform whose console edits lines itself); the caller
// then reads the console as a plain stream.
std::unique_ptr<console_input> make_line_editor(std::FILE* in, std::FILE* out_fp, output& out);

}  // namespace zuv
