/* A caller that knows nothing of the project but the Convert entry: it loads both conversion
 * libraries by path and goes through the user library's documented edge cases, and a round
 * trip through the standard library's tape codes. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int16_t Convert(const char* InputPath, const char* OutputPath, const char* Parameters,
                char* ErrorText, char* HelpFile, int32_t* HelpContext);
/* The libraries are loaded by path, so the declaration only gives the pointer its type. */
typedef __typeof__(&Convert) ConvertEntry;

static ConvertEntry lentra;
static ConvertEntry brisel;
static char directory[] = "/tmp/ferix-caller-XXXXXX";
static char program[256];
static char errorText[101];
static int failures;

static void put(const char* path, const char* bytes, size_t size) {
    FILE* f = fopen(path, "wb");
    if (f == NULL || fwrite(bytes, 1, size, f) != size || fclose(f) != 0) {
        fprintf(stderr, "cannot write %s\n", path);
        exit(1);
    }
}

static size_t get(const char* path, char* bytes, size_t room) {
    size_t n;
    FILE* f = fopen(path, "rb");
    if (f == NULL) {
        return (size_t)-1;
    }
    n = fread(bytes, 1, room, f);
    fclose(f);
    return n;
}

static int16_t call(ConvertEntry entry, const char* in, const char* out, const char* parameters) {
    char helpFile[101];
    int32_t helpContext = -1;
    memset(errorText, 0, sizeof errorText);
    memset(helpFile, 0, sizeof helpFile);
    return entry(in, out, parameters, errorText, helpFile, &helpContext);
}

/* Runs `parameters` on a program holding `before`; expects `after` (or failure with `error`). */
static void expect(const char* parameters, const char* before, size_t beforeSize, const char* after,
                   size_t afterSize, const char* error) {
    char result[4096];
    size_t n;
    int16_t ok;
    put(program, before, beforeSize);
    ok = call(lentra, program, program, parameters);
    n = get(program, result, sizeof result);
    if (error != NULL) {
        if (ok != 0 || strcmp(errorText, error) != 0) {
            fprintf(stderr, "%s: expected failure \"%s\", got %d \"%s\"\n", parameters, error, ok,
                    errorText);
            ++failures;
        }
        return;
    }
    if (ok != 1 || n != afterSize || memcmp(result, after, n) != 0) {
        fprintf(stderr, "%s: result %d \"%s\", %zu bytes\n", parameters, ok, errorText, n);
        ++failures;
    }
}

static ConvertEntry load(const char* path) {
    void* library = dlopen(path, RTLD_NOW);
    void* entry;
    if (library == NULL) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        exit(1);
    }
    entry = dlsym(library, "Convert");
    if (entry == NULL) {
        fprintf(stderr, "no Convert in %s\n", path);
        exit(1);
    }
    return (ConvertEntry)entry;
}

static void checkMissingOutput(void) {
    const char* operations[] = {"/P", "/R\\41\\42", "/K\\25", "/Z", "/L\\00"};
    char missing[300];
    char expected[400];
    char work[300];
    size_t i;
    snprintf(missing, sizeof missing, "%s/NONE.TXT", directory);
    snprintf(expected, sizeof expected, "Nejde vymazat soubor  %s", missing);
    snprintf(work, sizeof work, "%s/NONE.$TM", directory);
    for (i = 0; i < sizeof operations / sizeof operations[0]; ++i) {
        put(program, "A\r\n", 3);
        if (call(lentra, program, missing, operations[i]) != 0 ||
            strncmp(errorText, expected, 100) != 0) {
            fprintf(stderr, "%s on a missing output: \"%s\"\n", operations[i], errorText);
            ++failures;
        }
    }
    if (access(work, F_OK) != 0) {
        fprintf(stderr, "the work file of a failed replacement is gone\n");
        ++failures;
    }
    unlink(work);
}

static void checkTapeRoundTrip(void) {
    static const char text[] = "%\r\nN10 G01 X-1.5\r\nM30\r\n%\r\n";
    char result[256];
    size_t n;
    put(program, text, sizeof text - 1);
    if (call(brisel, program, program, "TXT>EIA") != 1 ||
        call(brisel, program, program, "EIA>TXT") != 1 ||
        call(brisel, program, program, "TXT>ISO /LEADER=10 /TRAILER=10") != 1 ||
        call(brisel, program, program, "ISO>TXT") != 1) {
        fprintf(stderr, "tape round trip failed: %s\n", errorText);
        ++failures;
        return;
    }
    n = get(program, result, sizeof result);
    if (n != sizeof text - 1 || memcmp(result, text, n) != 0) {
        fprintf(stderr, "tape round trip changed the program\n");
        ++failures;
    }
    if (call(brisel, program, program, "TXT>MGF") != 0 || strstr(errorText, "not available") == 0) {
        fprintf(stderr, "TXT>MGF: \"%s\"\n", errorText);
        ++failures;
    }
}

int main(int argc, char** argv) {
    static const char line200[] =
        "N0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "000000000000000000000001\r\n";
    if (argc < 3) {
        fprintf(stderr, "usage: %s libLentra.so libBrisel.so\n", argv[0]);
        return 2;
    }
    lentra = load(argv[1]);
    brisel = load(argv[2]);
    if (mkdtemp(directory) == NULL) {
        return 1;
    }
    snprintf(program, sizeof program, "%s/PART.TXT", directory);

    expect("/P", "G01\r\n\r\n   \r\nM30\r\n", 17, "G01\r\nM30\r\n", 10, NULL);
    expect("/R\\41\\42\\42\\43", "AB\r\n", 4, "CC\r\n", 4, NULL);
    expect("/R\\41", "A", 1, NULL, 0, "Lentra:Nesouhlasi pocet znaku nahrad ('jaky znak kterym')");
    expect("/R", "A", 1, NULL, 0, "Lentra:Chybne ukonceni prikazu");
    expect("/H", "A", 1, NULL, 0, "Lentra:Chybne ukonceni prikazu");
    expect("/X", "A", 1, NULL, 0, "Lentra:Nepovoleny znak");
    expect("/p", "A", 1, NULL, 0, "Lentra:Nepovoleny znak");
    expect("P", "A", 1, NULL, 0, "Lentra:Pred P nebo Z neni lomitko");
    expect("/H*03\\00", "A", 1, "A\0\0\0", 4, NULL);
    expect("/L*10\\00", "A", 1, "\0\0\0\0\0\0\0\0\0\0A", 11, NULL);
    expect("/H\\0D/L\\0A", "A", 1, "\r\nA\r\n", 5, NULL);
    expect("/P/H\\0D", "A\r\n\r\n", 5, "A\r\n", 3, NULL);
    expect("/K\\25", "%\r\nG1\r\n%\r\n", 10, "G1\r\n", 4, NULL);
    expect("   ", "A\n\n", 3, "A\n\n", 3, NULL);
    expect("/P", line200, sizeof line200 - 1, line200, sizeof line200 - 1, NULL);
    checkMissingOutput();
    checkTapeRoundTrip();

    unlink(program);
    rmdir(directory);
    if (failures != 0) {
        fprintf(stderr, "%d case(s) failed\n", failures);
        return 1;
    }
    printf("all conversion edge cases hold\n");
    return 0;
}
