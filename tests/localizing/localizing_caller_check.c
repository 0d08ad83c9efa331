/* A caller that knows nothing of the project but the two exported functions: it loads the
 * control library by name and asks the language library for one of its strings. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

int32_t LoadResString(void* module, int32_t id, int32_t language, char* buffer, int32_t bufferSize);
int32_t GetLanguages(void* module, uint16_t* languages, int32_t maxIndex);

int main(int argc, char** argv) {
    const char* expected = "Kommunikation ist nicht aktiviert";
    char buffer[256];
    uint16_t languages[2];
    void* control;
    int32_t n;
    if (argc < 2) {
        fprintf(stderr, "usage: %s path/to/libFerixComm.so\n", argv[0]);
        return 2;
    }
    control = dlopen(argv[1], RTLD_NOW);
    if (control == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 1;
    }
    n = LoadResString(control, 428, 0x0407, buffer, (int32_t)sizeof buffer);
    if (n != (int32_t)strlen(expected) || memcmp(buffer, expected, (size_t)n) != 0) {
        fprintf(stderr, "string 428 in German: got %d bytes \"%.*s\"\n", n, (int)n, buffer);
        return 1;
    }
    if (GetLanguages(control, languages, 1) != 2) {
        fprintf(stderr, "GetLanguages with maxIndex 1 did not store two codes\n");
        return 1;
    }
    printf("string 428 in German: %.*s\n", (int)n, buffer);
    return 0;
}
