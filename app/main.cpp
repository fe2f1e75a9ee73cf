// Program entry: the start-up sequence lives in app/entry.cpp.
#include "app/entry.h"

int main() { return wWinMain(); }
