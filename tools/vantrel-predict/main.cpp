#include <iostream>
#include <string_view>
#include <vector>

#include "tools/vantrel-predict/PredictCommand.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return RunPredict(args, std::cout, std::cerr);
}
