#include "cli/cli_docs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

namespace tollamer::cli {

namespace {

// One option or positional argument of a subcommand, as CLI11 holds it.
struct ArgumentDoc {
  std::vector<std::string> names;  // "--server-version", "--version"; empty for a positional
  std::string positional;          // "FILE"
  std::string valueName;           // "TEXT", "UINT"; empty for a flag
  std::vector<std::string> choices;  // the values a set restricts it to
  std::string description;
  bool required = false;
};

struct CommandDoc {
  std::string name;
  std::string description;
  std::vector<ArgumentDoc> arguments;
};

// CLI11 names an option's type, then its checks: "TEXT:{csv,sql}".
void ReadTypeName(const std::string& type_name, ArgumentDoc& doc) {
  doc.valueName = type_name.substr(0, type_name.find(':'));
  const size_t open = type_name.find('{');
  const size_t close = type_name.find('}', open);
  if (open == std::string::npos || close == std::string::npos) return;
  std::string item;
  for (size_t i = open + 1; i <= close; ++i) {
    if (type_name[i] == ',' || i == close) {
      if (!item.empty()) doc.choices.push_back(item);
      item.clear();
    } else {
      item += type_name[i];
    }
  }
}

CommandDoc Describe(const CLI::App& command) {
  CommandDoc doc{command.get_name(), command.get_description(), {}};
  for (const CLI::Option* opt : command.get_options()) {
    if (opt->get_group().empty()) continue;
    ArgumentDoc a;
    for (const std::string& s : opt->get_snames()) a.names.push_back("-" + s);
    for (const std::string& l : opt->get_lnames()) a.names.push_back("--" + l);
    if (a.names.empty()) a.positional = opt->get_name(true);
    // A positional that takes several values ("FILE...").
    if (a.names.empty() && opt->get_items_expected_max() > 1 &&
        a.positional.find("...") == std::string::npos)
      a.positional += "...";
    if (opt->get_type_size() != 0) ReadTypeName(opt->get_type_name(), a);
    a.description = opt->get_description();
    a.required = opt->get_required();
    doc.arguments.push_back(std::move(a));
  }
  return doc;
}

std::vector<CommandDoc> VisibleCommands(const CLI::App& app) {
  std::vector<CommandDoc> commands;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App* s) { return !s->get_group().empty(); }))
    commands.push_back(Describe(*sub));
  return commands;
}

// The program's name as CLI11 holds it (argv[0] once parsed), without its folder.
std::string ProgramName(const CLI::App& app) {
  const std::string name = app.get_name();
  const size_t slash = name.rfind('/');
  return name.empty() ? "tollamer-cli" : name.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

// Text for roff: backslashes and hyphens escaped, control characters at the
// start of a line neutralised, line breaks joined into one paragraph.
std::string Roff(const std::string& text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && (c == '.' || c == '\'')) out += "\\&";
    line_start = false;
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else if (c == '\n') { out += '\n'; line_start = true; }
    else out += c;
  }
  return out;
}

// The first long name, else the first name: the name usage lines show.
std::string MainName(const ArgumentDoc& a) {
  for (const std::string& n : a.names)
    if (n.rfind("--", 0) == 0) return n;
  return a.names.front();
}

bool IsHelp(const ArgumentDoc& a) {
  return std::find(a.names.begin(), a.names.end(), "--help") != a.names.end();
}

// The word that stands for an option's value: the allowed values when they
// are few, else the last word of its long name ("--server-version VERSION").
std::string ValueText(const ArgumentDoc& a) {
  const std::string choices = Join(a.choices, "|");
  if (!a.choices.empty() && choices.size() <= 24) return choices;
  const std::string main_name = MainName(a);
  std::string word = main_name.substr(main_name.find_last_of('-') + 1);
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word;
}

// "\fIFILE\fR", "[\fITABLE\fR]", "\fB--out\fR \fIOUT\fR", "[\fB--json\fR]".
std::string UsageItem(const ArgumentDoc& a) {
  std::string item = a.names.empty() ? "\\fI" + Roff(a.positional) + "\\fR"
                                     : "\\fB" + Roff(MainName(a)) + "\\fR";
  if (!a.names.empty() && !a.valueName.empty()) item += " \\fI" + Roff(ValueText(a)) + "\\fR";
  return a.required ? item : "[" + item + "]";
}

// One tagged paragraph per option and argument, --help left out.
void WriteArgumentList(const CommandDoc& c, std::ostream& out) {
  for (const ArgumentDoc& a : c.arguments) {
    if (IsHelp(a)) continue;
    out << ".TP\n";
    if (a.names.empty()) {
      out << "\\fI" << Roff(a.positional) << "\\fR\n";
    } else {
      out << "\\fB" << Roff(Join(a.names, ", ")) << "\\fR";
      if (!a.valueName.empty()) out << " \\fI" << Roff(ValueText(a)) << "\\fR";
      out << "\n";
    }
    out << Roff(a.description) << ".";
    if (!a.choices.empty() && ValueText(a) != Join(a.choices, "|"))
      out << " One of: " << Roff(Join(a.choices, ", ")) << ".";
    if (a.required && !a.names.empty()) out << " Required.";
    out << "\n";
  }
}

}  // namespace

CLI::App* AddWriteDocsCommand(CLI::App& app, WriteDocsOptions& options) {
  CLI::App* cmd = app.add_subcommand(kWriteDocsCommand, "Write the manual page or the bash completion");
  cmd->group("");  // not listed by --help
  cmd->add_option("KIND", options.kind, "man or bash")->required()->check(CLI::IsMember({"man", "bash"}));
  cmd->add_option("OUT", options.outPath, "File to write (default: standard output)");
  return cmd;
}

void WriteManPage(const CLI::App& app, std::ostream& out) {
  const std::string name = ProgramName(app);
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  out << ".TH " << Roff(upper) << " 1 \"\" \"Tollamer\" \"User Commands\"\n"
      << ".ad l\n"
      << ".SH NAME\n" << Roff(name) << " \\- " << Roff(app.get_description()) << "\n"
      << ".SH SYNOPSIS\n\\fB" << Roff(name) << "\\fR \\fICOMMAND\\fR [\\fIOPTIONS\\fR] "
      << "\\fIARGUMENTS\\fR\n.br\n\\fB" << Roff(name) << "\\fR [\\fICOMMAND\\fR] \\fB\\-\\-help\\fR\n";
  const CommandDoc program = Describe(app);
  if (std::any_of(program.arguments.begin(), program.arguments.end(),
                  [](const ArgumentDoc& a) { return !IsHelp(a); })) {
    out << ".SH OPTIONS\n";
    WriteArgumentList(program, out);
  }
  out << ".SH COMMANDS\n";
  for (const CommandDoc& c : VisibleCommands(app)) {
    out << ".SS " << Roff(c.name) << "\n\\fB" << Roff(name + " " + c.name) << "\\fR";
    for (const ArgumentDoc& a : c.arguments)
      if (!IsHelp(a)) out << " " << UsageItem(a);
    out << "\n.PP\n" << Roff(c.description) << ".\n";
    WriteArgumentList(c, out);
  }
  const std::string footer = app.get_footer();
  if (!footer.empty()) {
    const bool exit_codes = footer.find("Exit codes") != std::string::npos;
    std::string paragraph;
    for (char c : footer) paragraph += c == '\n' ? ' ' : c;
    out << ".SH " << (exit_codes ? "EXIT STATUS" : "NOTES") << "\n" << Roff(paragraph) << "\n";
  }
}

void WriteBashCompletion(const CLI::App& app, std::ostream& out) {
  const std::string name = ProgramName(app);
  std::string function = "_";
  for (char c : name) function += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  const std::vector<CommandDoc> commands = VisibleCommands(app);
  std::vector<std::string> command_names;
  for (const CommandDoc& c : commands) command_names.push_back(c.name);
  std::vector<std::string> first_words = command_names;
  for (const ArgumentDoc& a : Describe(app).arguments)
    first_words.insert(first_words.end(), a.names.begin(), a.names.end());

  out << "# bash completion for " << name << " (written by `" << name << " " << kWriteDocsCommand
      << " bash`)\n"
      << function << "() {\n"
      << "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      << "  local command='' options='' i\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    case ${COMP_WORDS[i]} in\n"
      << "      " << Join(command_names, "|") << ") command=${COMP_WORDS[i]}; break ;;\n"
      << "    esac\n"
      << "  done\n"
      << "  case $command in\n"
      << "    '')\n"
      << "      COMPREPLY=($(compgen -W '" << Join(first_words, " ") << "' -- \"$cur\"))\n"
      << "      return ;;\n";
  for (const CommandDoc& c : commands) {
    std::vector<std::string> options;
    out << "    " << c.name << ")\n";
    out << "      case $prev in\n";
    for (const ArgumentDoc& a : c.arguments) {
      for (const std::string& n : a.names) options.push_back(n);
      if (a.names.empty() || a.valueName.empty()) continue;
      out << "        " << Join(a.names, "|") << ")\n";
      if (!a.choices.empty())
        out << "          COMPREPLY=($(compgen -W '" << Join(a.choices, " ") << "' -- \"$cur\"))\n";
      else if (a.valueName == "TEXT")
        out << "          COMPREPLY=($(compgen -f -- \"$cur\"))\n";
      else
        out << "          COMPREPLY=()\n";
      out << "          return ;;\n";
    }
    out << "      esac\n"
        << "      options='" << Join(options, " ") << "' ;;\n";
  }
  out << "  esac\n"
      << "  if [[ $cur == -* ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      << "  else\n"
      << "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      << "  fi\n"
      << "}\n"
      << "complete -o filenames -F " << function << " " << name << "\n";
}

int RunWriteDocs(const CLI::App& app, const std::string& kind, const std::string& out_path) {
  auto write = [&](std::ostream& out) {
    if (kind == "man") WriteManPage(app, out);
    else WriteBashCompletion(app, out);
    out.flush();
    return static_cast<bool>(out);
  };
  if (out_path.empty()) return write(std::cout) ? 0 : 1;
  const std::string temp = out_path + ".part";
  std::ofstream file(temp, std::ios::binary | std::ios::trunc);
  if (!file || !write(file)) {
    std::fprintf(stderr, "tollamer-cli: cannot write %s\n", temp.c_str());
    return 1;
  }
  file.close();
  std::error_code error;
  std::filesystem::rename(temp, out_path, error);
  if (error) std::fprintf(stderr, "tollamer-cli: cannot write %s\n", out_path.c_str());
  return error ? 1 : 0;
}

}  // namespace tollamer::cli
