#pragma once

#include <string_view>

// Shows an error the user must acknowledge (a modal box with OK in the
// dialog). Returns once the user has acknowledged it.
class MessageBoxPresenter {
public:
    virtual ~MessageBoxPresenter() = default;
    virtual void ShowMessageBox(std::string_view text) = 0;
};
