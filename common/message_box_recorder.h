// Test support: while a MessageBoxRecorder lives, message boxes are not shown
// but recorded, and each is answered with the next queued button (IDOK when
// none is queued). Tests compare texts, captions, styles and owners.
#pragma once

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "message_box.h"

class MessageBoxRecorder {
public:
    struct Box {
        HWND owner;
        std::string text;     // bytes as passed, in the ANSI code page
        std::string caption;  // an absent caption is recorded as empty
        UINT style;
        bool operator==(const Box& o) const {
            return owner == o.owner && text == o.text && caption == o.caption && style == o.style;
        }
        // How test frameworks print a box that differs.
        friend std::ostream& operator<<(std::ostream& out, const Box& b) {
            return out << "{owner " << b.owner << ", \"" << b.text << "\", \"" << b.caption
                       << "\", style 0x" << std::hex << b.style << std::dec << "}";
        }
    };

    MessageBoxRecorder() { setMessageBoxHandler(&MessageBoxRecorder::record, this); }
    ~MessageBoxRecorder() { setMessageBoxHandler(nullptr, nullptr); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // The button that the next box will be answered with.
    void answerNextWith(int button) { answers_.push_back(button); }

    const std::vector<Box>& boxes() const { return boxes_; }
    void clear() { boxes_.clear(); }

private:
    static int record(void* context, HWND owner, const char* text, const char* caption,
                      UINT style) {
        auto* self = static_cast<MessageBoxRecorder*>(context);
        self->boxes_.push_back({owner, text ? text : "", caption ? caption : "", style});
        if (self->answers_.empty()) return IDOK;
        int answer = self->answers_.front();
        self->answers_.pop_front();
        return answer;
    }

    std::vector<Box> boxes_;
    std::deque<int> answers_;
};
