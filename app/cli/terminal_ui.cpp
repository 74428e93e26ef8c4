#include "app/cli/terminal_ui.h"

#include <istream>
#include <ostream>

namespace brevant {

std::string IndentText(std::string_view text, std::string_view indent) {
    while (!text.empty() && (text.front() == '\n' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::string result;
    for (char c : text) {
        result += c;
        if (c == '\n') result += indent;
    }
    return result;
}

TerminalUi::TerminalUi(std::ostream& out, std::ostream& err, std::istream& in, bool inputIsTerminal,
                       AnswerPolicy answers, std::string idleText)
    : out_(out),
      err_(err),
      in_(in),
      inputIsTerminal_(inputIsTerminal),
      answers_(answers),
      idleText_(std::move(idleText)) {}

void TerminalUi::EndProgressLine() {
    if (progress_ != nullptr) progress_->Finish();
}

void TerminalUi::SetStatusText(std::string_view text) {
    if (text == idleText_) return;
    EndProgressLine();
    const std::string line = IndentText(text, "  ");
    if (!line.empty()) out_ << line << std::endl;
}

void TerminalUi::ShowMessage(std::string_view text, std::string_view caption, BoxIcon icon) {
    EndProgressLine();
    std::ostream& stream = icon == BoxIcon::Information ? out_ : err_;
    const char* label = icon == BoxIcon::Error ? "Error" : icon == BoxIcon::Exclamation ? "Warning" : nullptr;
    if (label != nullptr) {
        stream << label << ": ";
    } else {
        stream << caption << ": ";
    }
    stream << IndentText(text, "  ") << std::endl;
}

bool TerminalUi::AskYesNo(std::string_view text, std::string_view caption) {
    EndProgressLine();
    out_ << caption << ": " << IndentText(text, "  ") << std::endl;
    switch (answers_) {
        case AnswerPolicy::Yes:
            out_ << "  [Yes, as --yes asked]" << std::endl;
            return true;
        case AnswerPolicy::No:
            out_ << "  [No, as --no asked]" << std::endl;
            return false;
        case AnswerPolicy::Ask:
            break;
    }
    if (!inputIsTerminal_) {
        out_ << "  [No: there is no terminal to ask on; --yes gives consent]" << std::endl;
        return false;
    }
    for (;;) {
        out_ << "  Yes or No? [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(in_, answer)) {
            out_ << std::endl;
            return false;
        }
        if (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES") return true;
        if (answer.empty() || answer == "n" || answer == "N" || answer == "no" || answer == "No" || answer == "NO")
            return false;
    }
}

void TerminalUi::ReportProgress(const ProgressEvent& event) {
    if (progress_ != nullptr) progress_->Show(event);
}

}  // namespace brevant
