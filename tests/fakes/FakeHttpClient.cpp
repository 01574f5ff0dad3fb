#include "fakes/FakeHttpClient.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/Exception.h"

namespace qx::fakes {

FakeAnswer FakeAnswer::Document(std::string body, int status) {
    FakeAnswer answer;
    answer.status = status;
    answer.contentLength = static_cast<std::int32_t>(body.size());
    answer.pieces.push_back(std::move(body));
    return answer;
}

FakeAnswer FakeAnswer::Unreachable() {
    FakeAnswer answer;
    answer.unreachable = true;
    return answer;
}

void FakeHttpClient::Get(const std::string& url) {
    requests_.push_back({url, InputFileMode, Body, TimeOut});
    if (answers_.empty()) {
        ADD_FAILURE() << "A request without a scripted answer: " << url;
        throw Exception("no scripted answer");
    }
    const FakeAnswer answer = std::move(answers_.front());
    answers_.pop_front();

    running_ = true;
    cancelRequested_ = false;
    timedOut_ = false;
    try {
        if (answer.unreachable)
            throw Exception("host not reachable");
        PlayBody(answer);
    } catch (...) {
        running_ = false;
        throw;
    }
    running_ = false;
    ReportOutcome(answer);
}

void FakeHttpClient::PlayBody(const FakeAnswer& answer) {
    expectedLength_ = answer.contentLength;
    receivedLength_ = 0;
    std::ofstream file;
    if (InputFileMode) {
        file.open(Body, std::ios::binary | std::ios::trunc);
        if (!file)
            throw Exception("body file not creatable");
    } else {
        Body.clear();
    }
    for (std::size_t index = 0; index < answer.pieces.size(); ++index) {
        if (answer.brokenAfterPieces == index)
            throw Exception("connection broken");
        const std::string& piece = answer.pieces[index];
        if (InputFileMode)
            file.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        else
            Body += piece;
        receivedLength_ += static_cast<std::int32_t>(piece.size());
        if (const auto hook = answer.atPiece.find(index); hook != answer.atPiece.end())
            hook->second();
        if (OnPacketRecvd)
            OnPacketRecvd();
        ThrowIfAbandoned();
    }
    if (answer.brokenAfterPieces == answer.pieces.size())
        throw Exception("connection broken");
}

void FakeHttpClient::ReportOutcome(const FakeAnswer& answer) {
    if (answer.status >= 300 && answer.status <= 399) {
        bool handled = false;
        if (OnRedirect)
            OnRedirect(handled);
        redirectsHandled_.push_back(handled);
    }
    const bool failed = answer.status < 200 || answer.status >= 300 || receivedLength_ < answer.contentLength;
    if (failed && OnFailure)
        OnFailure(CmdType::CmdGET);
}

void FakeHttpClient::ThrowIfAbandoned() const {
    if (cancelRequested_)
        throw Exception("cancelled");
    if (timedOut_)
        throw Exception("time-out");
}

void FakeHttpClient::Cancel() {
    ++cancelCalls;
    if (running_)
        cancelRequested_ = true;
}

void FakeHttpClient::ExpireTimeOut() {
    if (running_)
        timedOut_ = true;
}

std::vector<std::string> FakeHttpClient::RequestedUrls() const {
    std::vector<std::string> urls;
    for (const Request& request : requests_)
        urls.push_back(request.url);
    return urls;
}

} // namespace qx::fakes
