// kestrix_navdata: see cli.h.
#include "cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int code = kestrix::RunNavdataCli(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
