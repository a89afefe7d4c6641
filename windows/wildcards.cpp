// Asks the MinGW-w64 start-up code to expand an unquoted argument holding * or
// ? into the matching file names before main runs, as Windows console
// programs conventionally do.
extern "C" {
int _dowildcard = -1;
}
