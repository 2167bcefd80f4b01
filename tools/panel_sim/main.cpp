// Placeholder until the panel simulator lands.
int main() { return 1; }
