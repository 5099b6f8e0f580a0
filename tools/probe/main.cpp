// orvex-probe N: is there a pager on COMn?
#include <chrono>
#include <cstring>
#include <iostream>

#include "tools/probe/Probe.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::strlen(argv[1]) != 1 || argv[1][0] < '1' || argv[1][0] > '4') {
        std::cerr << "usage: orvex-probe N   (N = 1 to 4: checks for a pager on COMN)\n"
                     "COMn is the device named by ORVEX_COMn, else the device chosen for it in\n"
                     "the program's Configuration, else /dev/ttyS(n-1).\n";
        return 2;
    }
    orvex::CProbe probe(argv[1][0] - '0');
    return probe.Run(std::cout, std::cerr, std::chrono::seconds(10));
}
