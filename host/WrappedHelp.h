#pragma once
// The programs' --help as a terminal of 80 columns shows it: descriptions, the program's text
// and its footer wrapped at word boundaries, continuation lines indented under their option.

#include <CLI/CLI.hpp>

#include <memory>
#include <sstream>
#include <string>

namespace verno::host {

inline constexpr std::size_t kHelpColumns = 80;
inline constexpr std::size_t kHelpOptionColumn = 28;

// text reflowed into lines of at most width characters (a longer word stands alone). Lines of
// one indent form a paragraph, which keeps that indent; a blank line or a new indent starts the
// next.
inline std::string WrapText(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t used = 0;
    std::size_t indent = std::string::npos;  // of the paragraph being written
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        const std::size_t lead = line.find_first_not_of(' ');
        if (lead == std::string::npos) {  // a blank line ends the paragraph and stays
            if (indent != std::string::npos) out += '\n';
            out += '\n';
            indent = std::string::npos;
            continue;
        }
        if (lead != indent) {
            if (!first && indent != std::string::npos) out += '\n';
            out += std::string(lead, ' ');
            used = lead;
            indent = lead;
        }
        first = false;
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (used > indent && used + 1 + word.size() > width) {
                out += '\n' + std::string(indent, ' ');
                used = indent;
            } else if (used > indent) {
                out += ' ';
                ++used;
            }
            out += word;
            used += word.size();
        }
    }
    return out;
}

class WrappedHelp final : public CLI::Formatter {
public:
    WrappedHelp() { column_width(kHelpOptionColumn); }

    std::string make_option_desc(const CLI::Option* opt) const override {
        return WrapText(CLI::Formatter::make_option_desc(opt), kHelpColumns - kHelpOptionColumn);
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        std::stringstream out;
        CLI::detail::format_help(out, sub->get_display_name(true),
                                 WrapText(sub->get_description(), kHelpColumns - kHelpOptionColumn), column_width_);
        return out.str();
    }
    std::string make_description(const CLI::App* app) const override {
        const std::string text = CLI::Formatter::make_description(app);
        return text.empty() ? text : WrapText(text, kHelpColumns) + "\n";
    }
    std::string make_footer(const CLI::App* app) const override {
        const std::string text = CLI::Formatter::make_footer(app);
        return text.empty() ? text : WrapText(text, kHelpColumns) + "\n";
    }
};

// Wraps the help of app and of its subcommands.
inline void WrapHelp(CLI::App& app) { app.formatter(std::make_shared<WrappedHelp>()); }

}  // namespace verno::host
