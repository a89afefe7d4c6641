/* The baseline for start-up cost: a C program that does nothing. */
int main(void)
{
    return 0;
}
