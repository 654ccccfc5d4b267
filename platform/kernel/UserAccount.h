#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

// What the password database says of a user.
struct UserAccount {
    std::string name;
    std::string home;
};

// The password database's entry for `uid`; nullopt when it has none.
std::optional<UserAccount> FindUserAccount(uid_t uid);
