#include <cstdio>
int main() { std::puts("Velmora 2.2"); return 0; }
