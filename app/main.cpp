#include "app/program.h"

int main(int argc, char** argv) { return sonaro::app::Run(argc, argv); }
