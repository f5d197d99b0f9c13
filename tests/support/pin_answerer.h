// Test support: answers the signing program's PIN prompt from a helper
// thread, as a person would.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "quillet_resource.h"
#include "ui_driver.h"

// Answers each PIN prompt that appears with the next PIN of the list (the last
// one again once the list is used up) and OK, or with Cancel.
class PinAnswerer : public ui::WindowWatcher {
public:
    explicit PinAnswerer(std::vector<std::string> pins, bool cancel = false)
        : WindowWatcher("Verifica PIN Quillet", [this, cancel](HWND prompt) {
              if (!cancel) ui::type(GetDlgItem(prompt, IDC_PIN_EDIT), pins_[std::min<size_t>(driven(), pins_.size() - 1)]);
              ui::click(prompt, cancel ? IDC_PIN_CANCEL : IDC_PIN_OK);
          }),
          pins_(std::move(pins)) {}
    explicit PinAnswerer(const std::string& pin, bool cancel = false)
        : PinAnswerer(std::vector<std::string>{pin}, cancel) {}

private:
    std::vector<std::string> pins_;
};
