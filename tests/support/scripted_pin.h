// Test support: the PIN source of the signing engine's tests, in place of the
// program's prompt. Each ask takes the next PIN of the list (the last one
// again once the list is used up), or is cancelled as the prompt's Cancel is.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "pin_source.h"

class ScriptedPin {
public:
    explicit ScriptedPin(std::vector<std::string> pins, bool cancel = false) : pins_(std::move(pins)), cancel_(cancel) {
        setPinSource(&ScriptedPin::answer, this);
    }
    explicit ScriptedPin(const std::string& pin, bool cancel = false)
        : ScriptedPin(std::vector<std::string>{pin}, cancel) {}
    ~ScriptedPin() { setPinSource(nullptr, nullptr); }
    ScriptedPin(const ScriptedPin&) = delete;
    ScriptedPin& operator=(const ScriptedPin&) = delete;

    // How many times the engine asked.
    int asked() const { return asked_; }

private:
    static int answer(void* context) {
        auto* self = static_cast<ScriptedPin*>(context);
        const std::string& pin = self->pins_[std::min<size_t>(self->asked_++, self->pins_.size() - 1)];
        if (self->cancel_) return PIN_PROMPT_CANCELLED;
        PinSlot& slot = pinSlot();
        std::memset(&slot, 0, sizeof slot);
        std::memcpy(slot.text, pin.data(), std::min<size_t>(pin.size(), PIN_MAX_CHARACTERS));
        slot.length = static_cast<uint8_t>(std::strlen(slot.text));
        return 0;
    }

    std::vector<std::string> pins_;
    bool cancel_;
    int asked_ = 0;
};
