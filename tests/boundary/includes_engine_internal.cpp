// Must not compile: a program target sees the engines' interface headers and nothing else of
// them. The build of this file is expected to fail (a ctest case checks that it does).
#include "classifier_engine/data_engine.h"

int main() { return 0; }
