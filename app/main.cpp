#include "app/OVProgramStart.h"

int main(int argc, char** argv)
{
    return OVProgramStart::main(argc, argv);
}
