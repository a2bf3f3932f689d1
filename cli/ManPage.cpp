#include "cli/ManPage.h"

#include "cli/ExitCodes.h"

#include <sstream>

namespace tessaly::cli {

namespace {

// Text as roff reads it: backslashes doubled, dashes literal, and no line may
// begin with a control character.
std::string roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string optionLabel(const CLI::Option& option) {
    if (option.get_positional())
        return option.get_name(true, false);
    std::string label;
    for (const std::string& s : option.get_snames())
        label += (label.empty() ? "-" : ", -") + s;
    for (const std::string& l : option.get_lnames())
        label += (label.empty() ? "--" : ", --") + l;
    if (option.get_type_size() != 0 && !option.get_type_name().empty())
        label += " " + option.get_type_name();
    return label;
}

void writeOptions(const CLI::App& command, std::ostream& out) {
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_lnames() == std::vector<std::string>{"help"})
            continue; // every command has it
        out << ".TP\n.B " << roff(optionLabel(*option)) << "\n"
            << roff(option->get_description()) << "\n";
    }
}

void writeCommands(const CLI::App& command, const std::string& prefix, std::ostream& out) {
    for (const CLI::App* sub : command.get_subcommands([](const CLI::App*) { return true; })) {
        const std::string name = prefix.empty() ? sub->get_name() : prefix + " " + sub->get_name();
        out << ".SS \"" << roff(name) << "\"\n" << roff(sub->get_description()) << "\n";
        writeOptions(*sub, out);
        writeCommands(*sub, name, out);
    }
}

} // namespace

std::string manPage(const CLI::App& root, const std::string& version) {
    std::ostringstream out;
    out << ".TH TESSALY\\-CLI 1 \"\" \"tessaly-cli " << roff(version) << "\" \"User Commands\"\n"
        << ".SH NAME\ntessaly\\-cli \\- " << roff(root.get_description()) << "\n"
        << ".SH SYNOPSIS\n.B tessaly\\-cli\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n"
        << ".SH DESCRIPTION\nThe command\\-line twin of the Tessaly application. Commands that "
           "delete, overwrite or uninstall act only with \\fB\\-\\-yes\\fR; without it they print "
           "the plan that \\fB\\-\\-yes\\fR carries out, and change nothing. \\fB\\-\\-json\\fR "
           "prints the result as one JSON document on standard output.\n"
        << ".SH OPTIONS\n";
    writeOptions(root, out);
    out << ".SH COMMANDS\n";
    writeCommands(root, "", out);
    out << ".SH EXIT STATUS\n.nf\n" << roff(kExitCodeHelp) << ".fi\n";
    return out.str();
}

} // namespace tessaly::cli
