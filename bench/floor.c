/* The floor for converting a 64-colour palette: the file work that any such
 * converter must do, with stdio and nothing more. It opens and reads the
 * .gpl, creates the output and writes 128 bytes. With --replace it writes a
 * temporary beside the output and renames it over the output, as a converter
 * that never leaves a half-written output must.
 *
 *   floor IN.gpl OUT.bin [--replace]
 */
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s IN.gpl OUT.bin [--replace]\n", argv[0]);
        return 2;
    }
    const int replace = argc == 4 && strcmp(argv[3], "--replace") == 0;
    FILE* in = fopen(argv[1], "r");
    if (in == NULL) {
        return 1;
    }
    static char text[65536];
    const size_t got = fread(text, 1, sizeof text, in);
    fclose(in);

    char temporary[4096];
    snprintf(temporary, sizeof temporary, "%s.floor.tmp", argv[2]);
    const char* written = replace ? temporary : argv[2];
    FILE* out = fopen(written, "wb");
    if (out == NULL) {
        return 1;
    }
    const unsigned char words[128] = {0};
    const size_t put = fwrite(words, 1, sizeof words, out);
    if (fclose(out) != 0 || put != sizeof words || got == 0) {
        return 1;
    }
    return replace && rename(temporary, argv[2]) != 0;
}
