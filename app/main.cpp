#include "app/merrivan.h"

int main(int argc, char* argv[])
{
    return merrivanMain(argc, argv);
}
