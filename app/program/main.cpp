// vorix: the program.
#include "app/Program.h"

int main() { return app::RunProgram(); }
