// SPDX-License-Identifier: GPL-2.0-or-later
// Reading the option command line.
#include "driver/options.h"

#include <cstring>
#include <initializer_list>

namespace {

// The positional arguments an option may stand for, from 1.
constexpr int OutputArgument = 2;
constexpr int LevelArgument = 3;
constexpr int ModeArgument = 4;
constexpr int AxisArgument = 5;
constexpr int LogArgument = 6;
constexpr size_t MaxPositional = 6;

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// The --nodes values and the formats they name.
struct NamedFormat {
  const char* name;
  NodeFormat format;
};
const NamedFormat NodeFormats[] = {{"vanilla", NodeFormat::Vanilla},
                                   {"xnod", NodeFormat::Xnod},
                                   {"znod", NodeFormat::Znod},
                                   {"auto", NodeFormat::Auto}};

const NamedFormat* FindNodeFormat(const char* name) {
  for (const NamedFormat& named : NodeFormats)
    if (std::strcmp(name, named.name) == 0) return &named;
  return nullptr;
}

struct NamedGlForm {
  const char* name;
  GlForm form;
};
const NamedGlForm GlForms[] = {{"xgln", GlForm::Xgln}, {"xgl2", GlForm::Xgl2}, {"xgl3", GlForm::Xgl3},
                               {"zgln", GlForm::Zgln}, {"zgl2", GlForm::Zgl2}, {"zgl3", GlForm::Zgl3}};

const NamedGlForm* FindGlForm(const std::string& name) {
  for (const NamedGlForm& named : GlForms)
    if (name == named.name) return &named;
  return nullptr;
}

std::string Quoted(const char* text) { return std::string("'") + text + "'"; }

// Reads the whole of `text` as a weight from 0 to 48.
bool ReadWeight(const char* text, int* weight) {
  if (*text == '\0' || std::strlen(text) > 2) return false;
  int value = 0;
  for (const char* p = text; *p != '\0'; p++) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
  }
  if (value > 48) return false;
  *weight = value;
  return true;
}

class Reader {
 public:
  Reader(int count, char** arguments, CommandLine* line, std::string* fault)
      : count_(count), arguments_(arguments), line_(line), fault_(fault) {}

  bool Read() {
    for (index_ = 0; index_ < count_; index_++) {
      const char* argument = arguments_[index_];
      if (!IsOptionWord(argument)) {
        line_->positional.push_back(argument);
        continue;
      }
      if (!ReadOption(argument)) return false;
    }
    if (line_->help || line_->version) return true;
    if (line_->positional.size() > MaxPositional)
      return Fail("too many arguments: " + std::to_string(line_->positional.size()) +
                  " (at most 6: input, output, level, mode, axis, L)");
    if (line_->positional.empty()) return Fail("no input WAD file given");
    return Conflict(OutputArgument, line_->output != nullptr, "-o/--output") &&
           Conflict(LevelArgument, !line_->maps.empty(), "--map") &&
           Conflict(ModeArgument, line_->mode != nullptr, "--mode") &&
           Conflict(ModeArgument, line_->weight >= 0, "--weight") &&
           Conflict(AxisArgument, line_->axis != nullptr, "--axis") &&
           Conflict(LogArgument, line_->log, "--log");
  }

 private:
  bool Fail(const std::string& fault) {
    *fault_ = fault;
    return false;
  }

  bool Conflict(int argument, bool optionGiven, const char* option) {
    if (!optionGiven || line_->positional.size() < static_cast<size_t>(argument)) return true;
    return Fail(std::string(option) + " and argument " + std::to_string(argument) + " (" +
                Quoted(line_->positional[static_cast<size_t>(argument - 1)]) + ") set the same thing");
  }

  // The value of an option that takes one: after '=', else the next
  // argument. Sets `value` to null (and the fault) when there is none.
  bool TakeValue(const char* option, const char* inlineValue, const char** value) {
    if (inlineValue == nullptr) {
      if (index_ + 1 >= count_) return Fail("option " + Quoted(option) + " needs a value");
      inlineValue = arguments_[++index_];
    }
    if (*inlineValue == '\0') return Fail("option " + Quoted(option) + " needs a value");
    *value = inlineValue;
    return true;
  }

  bool Once(bool alreadyGiven, const char* option) {
    if (alreadyGiven) return Fail("option " + Quoted(option) + " is given twice");
    return true;
  }

  // An option given once whose value is one of `choices`, named in the
  // fault ("turbo or final").
  bool TakeChoice(const char* option, const char* inlineValue, std::initializer_list<const char*> choices,
                  const char* named, const char** target) {
    const char* value = nullptr;
    if (!Once(*target != nullptr, option) || !TakeValue(option, inlineValue, &value)) return false;
    for (const char* choice : choices) {
      if (std::strcmp(value, choice) == 0) {
        *target = value;
        return true;
      }
    }
    return Fail(std::string(option) + " must be " + named + ", not " + Quoted(value));
  }

  bool ReadOption(const char* argument) {
    if (std::strcmp(argument, "-o") == 0) {
      return Once(line_->output != nullptr, "-o") && TakeValue("-o", nullptr, &line_->output);
    }
    // --name or --name=value
    std::string name = argument;
    const char* inlineValue = nullptr;
    size_t equals = name.find('=');
    if (equals != std::string::npos) {
      inlineValue = argument + equals + 1;
      name.resize(equals);
    }
    const char* option = name.c_str();
    auto flag = [&](bool* target) {
      if (inlineValue != nullptr) return Fail("option " + Quoted(option) + " takes no value");
      if (!Once(*target, option)) return false;
      *target = true;
      return true;
    };
    if (name == "--help") return flag(&line_->help);
    if (name == "--version") return flag(&line_->version);
    if (name == "--log") return flag(&line_->log);
    if (name == "--output") {
      return Once(line_->output != nullptr, option) && TakeValue(option, inlineValue, &line_->output);
    }
    const char* value = nullptr;
    if (name == "--map") {
      if (!TakeValue(option, inlineValue, &value)) return false;
      line_->maps.push_back(value);
      return true;
    }
    if (name == "--mode")
      return TakeChoice(option, inlineValue, {"turbo", "final"}, "turbo or final", &line_->mode);
    if (name == "--weight") {
      if (!Once(line_->weight >= 0, option) || !TakeValue(option, inlineValue, &value)) return false;
      if (!ReadWeight(value, &line_->weight))
        return Fail("--weight must be a whole number from 0 to 48, not " + Quoted(value));
      return true;
    }
    if (name == "--nodes") {
      if (!Once(line_->nodes != nullptr, option) || !TakeValue(option, inlineValue, &value)) return false;
      NodeChoice choice;
      if (!ReadNodeChoice(value, &choice))
        return Fail(
            "--nodes must be vanilla, xnod, znod, auto, a GL form (xgln, xgl2, xgl3, zgln, zgl2, "
            "zgl3), or xnod or znod and a GL form, as in znod,zgl3; not " +
            Quoted(value));
      line_->nodes = value;
      return true;
    }
    if (name == "--axis") return TakeChoice(option, inlineValue, {"A", "V", "H"}, "A, V or H", &line_->axis);
    return Fail("unknown option " + Quoted(option));
  }

  int count_;
  char** arguments_;
  CommandLine* line_;
  std::string* fault_;
  int index_ = 0;
};

}  // namespace

bool IsOptionWord(const char* argument) {
  return std::strcmp(argument, "-o") == 0 || (StartsWith(argument, "--") && argument[2] != '\0');
}

bool HasOption(int argumentCount, char** arguments) {
  for (int i = 0; i < argumentCount; i++)
    if (IsOptionWord(arguments[i])) return true;
  return false;
}

bool ParseCommandLine(int argumentCount, char** arguments, CommandLine* line, std::string* fault) {
  *line = CommandLine();
  return Reader(argumentCount, arguments, line, fault).Read();
}

bool ReadNodeChoice(const char* text, NodeChoice* choice) {
  *choice = NodeChoice();
  std::string value = text;
  size_t comma = value.find(',');
  if (comma == std::string::npos) {
    if (const NamedFormat* named = FindNodeFormat(text)) {
      choice->normal = named->format;
      return true;
    }
    const NamedGlForm* gl = FindGlForm(value);
    if (gl == nullptr) return false;
    choice->normal = NodeFormat::None;
    choice->gl = true;
    choice->glForm = gl->form;
    return true;
  }
  // A normal form and a GL form: NODES holds the one, SSECTORS the other.
  const NamedFormat* normal = FindNodeFormat(value.substr(0, comma).c_str());
  const NamedGlForm* gl = FindGlForm(value.substr(comma + 1));
  if (normal == nullptr || gl == nullptr) return false;
  if (normal->format != NodeFormat::Xnod && normal->format != NodeFormat::Znod) return false;
  choice->normal = normal->format;
  choice->gl = true;
  choice->glForm = gl->form;
  return true;
}

const char* const OptionHelpLines[] = {
    "With an option, vortane rebuilds every level of the input in place; the",
    "positional arguments above keep their meaning, and options may stand",
    "anywhere among them. Levels may be laid out as map editors write them.",
    "  -o FILE, --output=FILE  write FILE instead of rebuilding the input",
    "  --map=LEVEL             rebuild LEVEL (may be repeated; * is every level)",
    "  --mode=turbo|final      how partition lines are scored (default turbo)",
    "  --weight=N              split weight, 0 to 48 (default 8)",
    "  --axis=A|V|H            place the root partition from the level's shape",
    "  --log                   write VORTANE.LOG instead of the screen",
    "  --nodes=vanilla|xnod|znod|auto",
    "                          node format: the vanilla lumps (default), ZDoom's",
    "                          extended nodes, compressed, or XNOD where needed",
    "  --nodes=xgln|xgl2|xgl3|zgln|zgl2|zgl3",
    "                          GL nodes, subsectors closed as polygons, in SSECTORS",
    "  --nodes=xnod,FORM|znod,FORM",
    "                          extended nodes in NODES and GL nodes in SSECTORS",
    "  --help                  show this help",
    "  --version               print the version",
    nullptr,
};
