// SPDX-License-Identifier: GPL-2.0-or-later
// The option command line. A call with at least one option (-o, or a word
// that starts with --) is an option call; any other call is the classic
// positional one. Positional arguments keep their classic meaning in an
// option call, and options may stand before, between or after them.
#pragma once

#include <string>
#include <vector>

#include "wad/extended_nodes.h"
#include "wad/gl_nodes.h"

struct CommandLine {
  bool help = false;
  bool version = false;
  std::vector<const char*> positional;  // input, output, level, mode, axis, L
  const char* output = nullptr;         // -o, --output
  std::vector<const char*> maps;        // --map, in the order given
  const char* mode = nullptr;           // --mode: "turbo" or "final"
  int weight = -1;                      // --weight, 0 to 48
  const char* axis = nullptr;           // --axis: "A", "V" or "H"
  bool log = false;                     // --log
  const char* nodes = nullptr;          // --nodes: see ReadNodeChoice
};

// True when the argument is written as an option.
bool IsOptionWord(const char* argument);
// True when any argument is an option: the call is an option call.
bool HasOption(int argumentCount, char** arguments);

// Reads an option call. Returns false with the fault, one line naming it,
// for bad usage: an unknown option, a missing or bad value, an option given
// twice or together with the positional argument that sets the same thing,
// or too many positional arguments.
bool ParseCommandLine(int argumentCount, char** arguments, CommandLine* line, std::string* fault);

// What a --nodes value asks for: the normal nodes (None: none, with GL
// nodes alone) and the GL form, if any.
struct NodeChoice {
  NodeFormat normal = NodeFormat::Vanilla;
  bool gl = false;
  GlForm glForm = GlForm::Xgl3;
};
// False for a value that names no choice.
bool ReadNodeChoice(const char* text, NodeChoice* choice);

// The options, one a line, as --help lists them.
extern const char* const OptionHelpLines[];
