#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "network/HostPort.h"

TEST(HostPortTest, AnAddressIsAHostAndAPortFrom1To65535) {
    struct Case {
        std::string text;
        std::optional<std::string> host;
        std::uint16_t port;
    };
    for (const Case& row : std::vector<Case>{{"127.0.0.1:4532", "127.0.0.1", 4532},
                                             {"localhost:65535", "localhost", 65535},
                                             {"[::1]:7356", "::1", 7356},
                                             // Its last group would be taken for the port.
                                             {"::1:7356", std::nullopt, 0},
                                             {"127.0.0.1", std::nullopt, 0},
                                             {":4532", std::nullopt, 0},
                                             {"127.0.0.1:", std::nullopt, 0},
                                             {"127.0.0.1:0", std::nullopt, 0},
                                             {"127.0.0.1:65536", std::nullopt, 0},
                                             {"127.0.0.1:45x", std::nullopt, 0}}) {
        const std::optional<HostPort> parsed = ParseHostPort(row.text);
        ASSERT_EQ(parsed.has_value(), row.host.has_value()) << row.text;
        if (parsed) {
            EXPECT_EQ(parsed->host, *row.host) << row.text;
            EXPECT_EQ(parsed->port, row.port) << row.text;
        }
    }
}
