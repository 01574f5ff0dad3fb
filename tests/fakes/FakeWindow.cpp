#include "fakes/FakeWindow.h"

#include <gtest/gtest.h>

namespace qx::fakes {

void FakeWindow::SetCaption(const std::string& text) {
    caption = text;
    events_.push_back({WindowEvent::Kind::Caption, text});
}

void FakeWindow::ShowForm() {
    events_.push_back({WindowEvent::Kind::Show, {}});
}

void FakeWindow::SetUrlText(const std::string& text) {
    urlText = text;
    events_.push_back({WindowEvent::Kind::UrlText, text});
}

void FakeWindow::ClearStatusLog() {
    statusLog_.clear();
    events_.push_back({WindowEvent::Kind::ClearStatus, {}});
}

void FakeWindow::AppendStatusLine(const std::string& line) {
    statusLog_.push_back(line);
    events_.push_back({WindowEvent::Kind::Status, line});
}

void FakeWindow::AppendErrorLine(const std::string& line) {
    events_.push_back({WindowEvent::Kind::Error, line});
}

BoxAnswer FakeWindow::ShowMessageBox(BoxStyle style, const std::string& text) {
    events_.push_back({WindowEvent::Kind::Box, text, style});
    if (style == BoxStyle::Information)
        return BoxAnswer::Ok;
    if (answers_.empty()) {
        ADD_FAILURE() << "A Yes/No box without a scripted answer: " << text;
        return BoxAnswer::No;
    }
    ScriptedAnswer next = std::move(answers_.front());
    answers_.pop_front();
    if (next.whileOpen)
        next.whileOpen();
    return next.answer;
}

void FakeWindow::ProcessMessages() {
    ++processMessagesCalls;
    while (!pending_.empty()) {
        std::function<void()> handler = std::move(pending_.front());
        pending_.pop_front();
        handler();
    }
}

void FakeWindow::SetProgressPosition(std::int32_t position) {
    progressPosition = position;
    positionHistory.push_back(position);
}

void FakeWindow::SetReceivedSizeText(const std::string& text) {
    receivedSizeText = text;
    receivedSizeHistory.push_back(text);
}

void FakeWindow::ApplyProgressMax(std::int32_t max) {
    progressMax = max;
    progressMaxHistory.push_back(max);
}

void FakeWindow::ScriptAnswer(BoxAnswer answer, std::function<void()> whileOpen) {
    answers_.push_back({answer, std::move(whileOpen)});
}

void FakeWindow::PostMessage(std::function<void()> handler) {
    pending_.push_back(std::move(handler));
}

std::vector<std::string> FakeWindow::ErrorLines() const {
    std::vector<std::string> lines;
    for (const WindowEvent& event : events_) {
        if (event.kind == WindowEvent::Kind::Error)
            lines.push_back(event.text);
    }
    return lines;
}

std::vector<MessageBox> FakeWindow::Boxes() const {
    std::vector<MessageBox> boxes;
    for (const WindowEvent& event : events_) {
        if (event.kind == WindowEvent::Kind::Box)
            boxes.push_back({event.style, event.text});
    }
    return boxes;
}

} // namespace qx::fakes
