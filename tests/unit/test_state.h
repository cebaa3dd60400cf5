#pragma once
// A fresh utility state whose console input is a given text and whose output
// is captured, for tests.

#include <cstdio>
#include <memory>
#include <string>

#include "config/conf_record.h"
#include "core/console.h"
#include "core/output.h"
#include "shell/state.h"

namespace zuv::testing {

class console_fixture {
public:
    explicit console_fixture(const std::string& input = "") : input_(input) {
        in_ = input_.empty() ? std::fopen("/dev/null", "r")
                             : fmemopen(input_.data(), input_.size(), "r");
        console_ = std::make_unique<stdio_console>(in_, out);
        state_ = std::make_unique<app_state>(*console_, out, err);
        conf_load_defaults(state_->config);
    }
    ~console_fixture() {
        state_.reset();
        if (in_ != nullptr) std::fclose(in_);
    }
    console_fixture(const console_fixture&) = delete;
    console_fixture& operator=(const console_fixture&) = delete;

    app_state& st() { return *state_; }
    // The console's stream, to see what a command left unread.
    std::FILE* input() { return in_; }

    string_output out;
    string_output err;

private:
    std::string input_;
    std::FILE* in_ = nullptr;
    std::unique_ptr<stdio_console> console_;
    std::unique_ptr<app_state> state_;
};

}  // namespace zuv::testing
