#pragma once
// Test doubles for the dialog services and the update log: they record everything in order
// and answer questions from a script.

#include <deque>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "update/run_log.h"

namespace brevant::testing {

struct ShownBox {
    std::string text;
    std::string caption;
    BoxIcon icon;
};

class RecordingUi final : public UserInterface {
public:
    void SetStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void ShowMessage(std::string_view text, std::string_view caption, BoxIcon icon) override {
        boxes.push_back({std::string(text), std::string(caption), icon});
        events.push_back("box:" + std::string(text));
    }
    bool AskYesNo(std::string_view text, std::string_view caption) override {
        questions.push_back({std::string(text), std::string(caption), BoxIcon::Information});
        events.push_back("question:" + std::string(text));
        if (answers.empty()) return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ReportProgress(const ProgressEvent& event) override { progress.push_back(event.done); }

    std::vector<std::string> errorTexts() const {
        std::vector<std::string> texts;
        for (const ShownBox& b : boxes)
            if (b.icon == BoxIcon::Error) texts.push_back(b.text);
        return texts;
    }

    std::vector<std::string> statusTexts;
    std::vector<ShownBox> boxes;
    std::vector<ShownBox> questions;
    std::vector<std::string> events;
    std::vector<uint64_t> progress;
    std::deque<bool> answers;  // answers given in order; then defaultAnswer
    bool defaultAnswer = false;
};

class RecordingLog final : public RunLog {
public:
    bool IsOpen() const override { return open; }
    void Open() override {
        if (refuseToOpen) return;
        open = true;
        lines.push_back("<header>");
    }
    void Line(std::string_view text) override {
        if (open) lines.emplace_back(text);
    }
    void Close() override {
        if (open) lines.push_back("<exit>");
        open = false;
    }

    bool open = false;
    bool refuseToOpen = false;
    std::vector<std::string> lines;
};

}  // namespace brevant::testing
