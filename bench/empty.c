/* The floor for start-up cost: a statically linked program that only returns 0. */
int main(void) {
    return 0;
}
