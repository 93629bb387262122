#include "commands.h"

int main(int argc, char** argv) {
    return tourpack::runCommandLine(argc, argv);
}
