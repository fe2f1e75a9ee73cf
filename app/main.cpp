// Program entry: the start-up sequence lives in app/.
int main() { return 0; }
