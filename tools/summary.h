// The report printed after a successful run: what was read and how, the
// format and length of what was written, and how fast it was decoded.
#ifndef VELMORA_TOOLS_SUMMARY_H
#define VELMORA_TOOLS_SUMMARY_H

#include <cstdio>

#include "decode_session.h"
#include "options.h"

void print_summary(std::FILE *to, const decode_options &options, const session_plan &plan,
                   const session_result &result);

#endif  // VELMORA_TOOLS_SUMMARY_H
