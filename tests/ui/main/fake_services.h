#pragma once

#include "fake_messages.h"
#include "ui/main/file_prompter.h"
#include "ui/main/frm_main.h"

#include <deque>
#include <optional>
#include <vector>

namespace norvane::ui::testing {

// Answers file dialogs from a queue, as a person would, and keeps what each was asked.
class FakePrompter final : public FilePrompter {
public:
    std::deque<std::optional<QString>> answers;
    std::vector<FilePromptRequest> openRequests, saveRequests;

    std::optional<QString> askOpenPath(QWidget*, const FilePromptRequest& request) override {
        openRequests.push_back(request);
        return next();
    }
    std::optional<QString> askSavePath(QWidget*, const FilePromptRequest& request) override {
        saveRequests.push_back(request);
        return next();
    }

private:
    std::optional<QString> next() {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The window's services, with the fakes kept reachable after the window takes them.
struct FakeServices {
    FakePrompter* prompter = nullptr;
    FakeMessages* messages = nullptr;
    int aboutShown = 0;

    frmMain::Services make() {
        auto files = std::make_unique<FakePrompter>();
        auto sink = std::make_unique<FakeMessages>();
        prompter = files.get();
        messages = sink.get();
        return {std::move(files), std::move(sink), [this](QWidget&, MessageSink&) { ++aboutShown; }};
    }
};

}  // namespace norvane::ui::testing
