// Carries the program's version resource and manifest for the tests to read;
// it is never run.
int main() { return 0; }
